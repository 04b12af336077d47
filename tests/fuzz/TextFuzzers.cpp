// The text rules: UTF-8 and Linux system text, the Windows argument rules,
// the configure tool's tokens and the formatter, each against its own promise
// or a plain reference written here.

#include "tests/fuzz/Fuzz.h"

#include "app/Log.h"
#include "configure/CommandLine.h"
#include "platform/CommandLineArguments.h"
#include "platform/Utf8.h"
#include "platform/linux/LinuxSystemText.h"

#include <algorithm>
#include <regex>

void FuzzUtf8(FFuzzInput Input)
{
	std::wstring Decoded;
	size_t ErrorOffset = 0;
	const uint8_t Branch = Input.TakeByte() % 3;
	if (Branch == 2)
	{
		// Linux names are bytes: any the system can hold (it holds no zero) go to program text and
		// back unchanged, and a text that goes to bytes comes back as it was, so no two names meet.
		const std::wstring Text = FFuzzInput(Input).TakeText();
		const std::string Bytes = Input.TakeBytes();
		std::string Encoded;
		int ErrorCode = 0;
		const bool bRoundTrip = TryEncodeSystemText(DecodeSystemText(Bytes), Encoded, ErrorCode) && Encoded == Bytes;
		Check(bRoundTrip == (Bytes.find('\0') == std::string::npos), "system bytes do not come back from program text");
		Check(!TryEncodeSystemText(Text, Encoded, ErrorCode) || DecodeSystemText(Encoded) == Text, "two program texts are one system name");
		return;
	}
	if (Branch == 0)
	{
		// Any wide text, lone surrogates included, reads back as written; only values past U+10FFFF have no form.
		const std::wstring Text = Input.TakeText();
		const bool bEncodable = std::all_of(Text.begin(), Text.end(), [](wchar_t Unit) { return Unit <= 0x10FFFF; });
		std::string Bytes;
		Check(TryEncodeUtf8(Text, Bytes) == bEncodable, "encoding fails on a value that has a UTF-8 form, or succeeds on one that has none");
		Check(!bEncodable || (TryDecodeUtf8(Bytes, Decoded, ErrorOffset) && Decoded == Text), "decoding what was encoded gives another text");
		return;
	}
	// Decoding is strict, so what it accepts is the one form of its text; a refusal
	// names where the trouble starts, and everything before that decodes.
	const std::string Bytes = Input.TakeBytes();
	std::string Encoded;
	if (TryDecodeUtf8(Bytes, Decoded, ErrorOffset))
	{
		Check(TryEncodeUtf8(Decoded, Encoded) && Encoded == Bytes, "accepted bytes are not the one UTF-8 form of their text");
		return;
	}
	Check(ErrorOffset < Bytes.size(), "the offset of malformed input lies outside it");
	Check(TryDecodeUtf8(Bytes.substr(0, ErrorOffset), Decoded, ErrorOffset), "the text before the reported offset does not decode");
}

void FuzzArguments(FFuzzInput Input)
{
	const std::vector<std::wstring> Arguments = Input.TakeTextList();
	Check(SplitCommandLineArguments(JoinCommandLineArguments(Arguments)) == Arguments, "joined arguments split into others");
}

void FuzzCommandLine(FFuzzInput Input)
{
	if (Input.TakeByte() % 2 == 0)
	{
		// The token rules are those of this pattern; libstdc++'s regex recurses per character, hence the bound.
		const std::wstring Text = Input.TakeText().substr(0, 200);
		static const std::wregex Pattern(L"([^ \"']+)|\"([^\"]*)\"|'([^ ']*)'");
		std::vector<std::wstring> Expected;
		for (std::wsregex_iterator Match(Text.begin(), Text.end(), Pattern), End; Match != End; ++Match)
		{
			Expected.push_back((*Match)[2].matched ? (*Match)[2].str() : (*Match)[0].str());
		}
		Check(FCommandLine(Text).GetTokens() == Expected, "the tokens differ from the pattern's matches");
		return;
	}
	// The native tool joins its arguments by the Windows rules and tokenises the join. Those rules
	// double a backslash run before a closing quote, which the tokens do not undo: none end with one.
	std::vector<std::wstring> Arguments = Input.TakeTextList();
	for (std::wstring& Argument : Arguments)
	{
		std::erase(Argument, L'"');
		Argument.erase(Argument.find_last_not_of(L'\\') + 1);
	}
	Check(FCommandLine(JoinCommandLineArguments(Arguments)).GetTokens() == Arguments, "the tool's joined arguments tokenise into others");
}

void FuzzFormatString(FFuzzInput Input)
{
	const uint8_t Form = Input.TakeByte();
	const bool bLeft = Form & 1;
	const int Width = Input.TakeByte();
	const auto Pad = [&](const std::wstring& Text)
	{
		const std::wstring Fill(std::max<int>(Width - static_cast<int>(Text.size()), 0), L' ');
		return bLeft ? Text + Fill : Fill + Text;
	};
	if (Form & 2)
	{
		const int32_t Number = static_cast<int32_t>(Input.TakeBits(4));
		Check(FormatString(bLeft ? L"%-*d" : L"%*d", Width, Number) == Pad(std::to_wstring(Number)), "a number is formatted otherwise");
		return;
	}
	const int Precision = Input.TakeByte();
	const std::wstring Value = Input.TakeText();
	Check(FormatString(bLeft ? L"%-*.*s" : L"%*.*s", Width, Precision, Value) == Pad(Value.substr(0, Precision)), "a text is formatted otherwise");
	// A value is never read as a format, whatever it holds.
	bool bLogged = false;
	GetLogSink() = [&](const std::wstring&, ELogLevel, const std::wstring& Message, const std::wstring& Line)
	{
		bLogged = Message == L"Value: '" + Value + L"'" && Line.ends_with(L"] Value: '" + Value + L"'");
	};
	Log(ELogLevel::Info, L"Fuzz::Format", L"Value: '%s'", Value);
	Check(bLogged, "a logged value is not in the line as it was");
}
