#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Resources carried inside a program where the system has no resource section
// of its own: the bytes are linked into the program and each block is entered
// in a process-wide table under a type and a name, as a Windows module
// carries them.
//
// A program that carries a resource defines one FEmbeddedResource object for
// it at namespace scope; the object enters itself into the table before main
// runs and must live as long as the program.
class FEmbeddedResource
{
public:
	FEmbeddedResource(const wchar_t* InType, const wchar_t* InName, const uint8_t* InBegin, const uint8_t* InEnd) noexcept;
	FEmbeddedResource(const FEmbeddedResource&) = delete;
	FEmbeddedResource& operator=(const FEmbeddedResource&) = delete;

	// The bytes of the resource with this type and name; false when the program
	// carries none. Names and types are compared exactly, letter case included.
	static bool TryFind(const std::wstring& Type, const std::wstring& Name, const uint8_t*& OutData, size_t& OutSize);

private:
	const wchar_t* Type;
	const wchar_t* Name;
	const uint8_t* Begin;
	const uint8_t* End;
	// The table is a list through the objects themselves: entering needs no
	// allocation, which could fail before main where nobody could report it.
	const FEmbeddedResource* Next;
};
