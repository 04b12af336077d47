#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The argument text and the option lookups of the configure tool. A lookup's
// false means the option is not given (or its value does not read as asked);
// it is no failure to log. Nothing here catches: running out of memory is
// not an answer, and it goes on to the sequence that asked.
class ICommandLine
{
public:
	virtual ~ICommandLine() = default;

	virtual std::wstring GetText() const = 0;
	// Replaces the text and tokenises it again.
	virtual void Parse(const std::wstring& Text) = 0;
	virtual bool HasNoArguments() const = 0;
	virtual bool HasOption(const std::wstring& Name) const = 0;
	virtual std::wstring ToOptionName(const std::wstring& KeyName) const = 0;
	virtual std::wstring ToKeyName(const std::wstring& OptionName) const = 0;
	virtual bool TryGetIntOption(const std::wstring& Name, int32_t& OutValue) const = 0;
	virtual bool TryGetBoolOption(const std::wstring& Name, bool& OutValue) const = 0;
	virtual bool TryGetPathOption(const std::wstring& Name, std::wstring& OutPath) const = 0;
	virtual bool TryGetOptionValue(const std::wstring& Name, std::wstring& OutValue) const = 0;
};

class FCommandLine : public ICommandLine
{
public:
	// Takes the process's full command line (program path first) and tokenises it.
	explicit FCommandLine(const std::wstring& FullCommandLine);

	std::wstring GetText() const override;
	void Parse(const std::wstring& Text) override;
	bool HasNoArguments() const override;
	bool HasOption(const std::wstring& Name) const override;
	std::wstring ToOptionName(const std::wstring& KeyName) const override;
	std::wstring ToKeyName(const std::wstring& OptionName) const override;
	bool TryGetIntOption(const std::wstring& Name, int32_t& OutValue) const override;
	bool TryGetBoolOption(const std::wstring& Name, bool& OutValue) const override;
	bool TryGetPathOption(const std::wstring& Name, std::wstring& OutPath) const override;
	bool TryGetOptionValue(const std::wstring& Name, std::wstring& OutValue) const override;

	// The tokens as the lookups see them.
	const std::vector<std::wstring>& GetTokens() const { return Tokens; }

private:
	static std::vector<std::wstring> Tokenize(const std::wstring& Source);
	static std::wstring NormalizeOptionName(const std::wstring& Name);
	// Index of the first token that matches the name; the token count when none does.
	size_t FindOption(const std::wstring& Name) const;
	// The token after the option's first match; null when there is none.
	const std::wstring* FindOptionValue(const std::wstring& Name) const;

	std::wstring Text;
	std::vector<std::wstring> Tokens;
};
