#pragma once

#include <cstdint>
#include <vector>

// The source of a request body. libcurl pulls the body piece by piece through
// ReadAt, so a reader never has to hand out more than libcurl asks for.
class IHttpContentReader
{
public:
	virtual ~IHttpContentReader() = default;

	virtual uint64_t GetSize() const = 0;
	virtual const std::vector<uint8_t>& GetBuffer() const = 0;
	// Whether the body comes from a stream whose size may change; nothing asks yet.
	virtual bool IsStreamed() const = 0;
	// Copies at most MaxCount bytes from Offset; 0 once Offset is at the end.
	virtual uint64_t ReadAt(void* Destination, uint64_t MaxCount, uint64_t Offset) = 0;
};

class FMemoryContentReader : public IHttpContentReader
{
public:
	explicit FMemoryContentReader(std::vector<uint8_t> InBytes) : Bytes(std::move(InBytes)) {}

	uint64_t GetSize() const override { return Bytes.size(); }
	const std::vector<uint8_t>& GetBuffer() const override { return Bytes; }
	bool IsStreamed() const override { return false; }
	uint64_t ReadAt(void* Destination, uint64_t MaxCount, uint64_t Offset) override;

private:
	std::vector<uint8_t> Bytes;
};
