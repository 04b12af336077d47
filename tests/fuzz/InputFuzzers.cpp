// The files and messages that cross the program's edge: the configuration
// file, the value store that stands in for the registry on Linux, and the
// telemetry events' JSON.

#include "tests/fuzz/Fuzz.h"

#include "analytics/AnalyticsAttribute.h"
#include "platform/PathRules.h"
#include "platform/Utf8.h"
#include "platform/linux/LinuxPlatform.h"
#include "tests/support/ConfigFields.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/TestBootstrapper.h"

#include <rapidjson/document.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace
{
	struct FEverythingExists : FFakePlatform
	{
		bool PathExists(const std::wstring&) override { return true; }
		bool FileExists(const std::wstring&) override { return true; }
	};

	// The reader's rules written out plainly: lines at LF, key before the first "=",
	// a value only when something follows it, booleans in any ASCII letter case.
	FBootstrapperConfig ParseConfig(const std::wstring& Text, const std::wstring& Directory)
	{
		FBootstrapperConfig Config;
		for (size_t Start = 0, End = 0; Start < Text.size(); Start = End + 1)
		{
			End = std::min(Text.find(L'\n', Start), Text.size());
			const std::wstring Line = Text.substr(Start, End - Start);
			const size_t Equals = Line.find(L'=');
			if (Equals == std::wstring::npos || Equals + 1 == Line.size())
			{
				continue;
			}
			const std::wstring Key = Line.substr(0, Equals);
			std::wstring Value = Line.substr(Equals + 1);
			if (Key == L"ApplicationPath" || Key == L"WorkingDirectory")
			{
				(Key == L"ApplicationPath" ? Config.ApplicationPath : Config.WorkingDirectory) = ResolvePathNextTo(Directory, Value);
				continue;
			}
			std::transform(Value.begin(), Value.end(), Value.begin(), [](wchar_t C) { return C >= L'A' && C <= L'Z' ? C + 32 : C; });
			bool& Field = Key == L"WaitForExit" ? Config.WaitForExit : Config.NoOperation;
			if ((Key == L"WaitForExit" || Key == L"NoOperation") && (Value == L"true" || Value == L"1" || Value == L"false" || Value == L"0"))
			{
				Field = Value == L"true" || Value == L"1";
			}
		}
		return Config;
	}
}

void FuzzConfigFile(FFuzzInput Input)
{
	// Every path exists, as a file: a configuration with a working directory is refused after parsing.
	// Made anew per input: the fake records every call, and memory that grows over runs costs a leak scan each.
	const auto Platform = std::make_shared<FEverythingExists>();
	FTestBootstrapper Bootstrapper(std::make_shared<FCommandLine>(L""), Platform, nullptr);
	const std::wstring Directory = L"/L";
	const std::wstring ConfigPath = L"/L/Launcher.ini";
	FBootstrapperConfig Expected;
	if (Input.TakeByte() % 2 == 0)
	{
		Platform->Files[ConfigPath] = Input.TakeText();
		Expected = ParseConfig(Platform->Files[ConfigPath], Directory);
		FBootstrapperConfig Read;
		const bool bValid = Bootstrapper.TryReadConfig(ConfigPath, Read);
		Check(bValid == (!Expected.ApplicationPath.empty() && Expected.WorkingDirectory.empty()), "the configuration is judged otherwise");
		Check(ConfigFields(Read) == ConfigFields(Expected), "the reader's fields differ from the plain parse");
		return;
	}
	// What the writer accepts reads back: the same booleans, the paths resolved next to the file.
	const uint8_t Flags = Input.TakeByte();
	FBootstrapperConfig Written{Input.TakeText(), Input.TakeText(), (Flags & 1) != 0, (Flags & 2) != 0};
	if (!Bootstrapper.TryWriteConfig(ConfigPath, Written))
	{
		return;
	}
	FBootstrapperConfig Read;
	Bootstrapper.TryReadConfig(ConfigPath, Read);
	for (std::wstring* Path : {&Written.ApplicationPath, &Written.WorkingDirectory})
	{
		*Path = Path->empty() ? L"" : ResolvePathNextTo(Directory, *Path);
	}
	Check(ConfigFields(Read) == ConfigFields(Written), "a written configuration reads back otherwise");
}

// scripts/fuzz.sh points XDG_CONFIG_HOME at a folder of its own; the value is the file Sub/Value there.
void FuzzValueStore(FFuzzInput Input)
{
	static const std::string Folder = std::getenv("XDG_CONFIG_HOME") != nullptr ? std::getenv("XDG_CONFIG_HOME") : "";
	Check(Folder.starts_with("/"), "XDG_CONFIG_HOME must name an absolute folder");
	std::string Bytes = Input.TakeBytes();
	std::ofstream(Folder + "/Sub/Value", std::ios::binary | std::ios::trunc) << Bytes;

	// The value: the UTF-8 text less one trailing newline, up to a zero; absent when that is empty or not UTF-8.
	if (!Bytes.empty() && Bytes.back() == '\n')
	{
		Bytes.pop_back();
	}
	std::wstring Text;
	size_t ErrorOffset = 0;
	const bool bDecoded = TryDecodeUtf8(Bytes, Text, ErrorOffset);
	Text = Text.substr(0, Text.find(L'\0'));
	const bool bPresent = bDecoded && !Text.empty();

	static FLinuxPlatform Platform;
	std::wstring Value = L"untouched";
	Check(Platform.TryGetValueFromRegistry(L"Sub", L"Value", Value) == bPresent, "a value is found where it is absent, or missed");
	Check(Value == (bPresent ? Text : L"untouched"), "the value read is not the file's text");
}

// Every event body parses with RapidJSON's own reader back to the attributes it was built from.
void FuzzTelemetry(FFuzzInput Input)
{
	static const char* const Names[] = {"EventName", "ExitCode", "DateOffset", ""};
	std::vector<FAnalyticsAttribute> Attributes;
	while (!Input.IsEmpty())
	{
		FAnalyticsAttribute& Attribute = Attributes.emplace_back();
		const uint8_t Kind = Input.TakeByte();
		Attribute.Name = Names[Kind % 4];
		Attribute.Type = static_cast<EAttributeType>(Kind / 4 % 5);
		Attribute.StringValue = Input.TakeBytes(Input.TakeByte());
		Attribute.DoubleValue = std::bit_cast<double>(Input.TakeBits(8));
		Attribute.Int64Value = static_cast<int64_t>(Input.TakeBits(8));
		Attribute.UInt64Value = Input.TakeBits(8);
		Attribute.BoolValue = Kind & 0x80;
	}
	const bool bWritable = !Attributes.empty() && std::all_of(Attributes.begin(), Attributes.end(), [](const FAnalyticsAttribute& Attribute)
		{ return Attribute.Type != EAttributeType::Double || std::isfinite(Attribute.DoubleValue); });
	std::string Json;
	Check(FAnalyticsAttribute::ToJson(Attributes, Json) == bWritable, "an event is refused, or one without a JSON form is written");
	if (!bWritable)
	{
		return;
	}
	rapidjson::Document Document;
	Document.Parse<rapidjson::kParseFullPrecisionFlag>(Json.data(), Json.size());
	Check(!Document.HasParseError() && Document.IsObject() && Document.MemberCount() == Attributes.size(), "the body is no object of the attributes");
	auto Member = Document.MemberBegin();
	for (const FAnalyticsAttribute& Attribute : Attributes)
	{
		Check(std::strcmp(Member->name.GetString(), Attribute.Name) == 0, "an attribute's name changed");
		const rapidjson::Value& Value = (Member++)->value;
		switch (Attribute.Type)
		{
		case EAttributeType::String:
			Check(Value.IsString() && std::string(Value.GetString(), Value.GetStringLength()) == Attribute.StringValue, "a string changed");
			break;
		case EAttributeType::Double:
			Check(Value.IsDouble() && Value.GetDouble() == Attribute.DoubleValue, "a double changed");
			break;
		case EAttributeType::Int64:
			Check(Value.IsInt64() && Value.GetInt64() == Attribute.Int64Value, "a signed integer changed");
			break;
		case EAttributeType::UInt64:
			Check(Value.IsUint64() && Value.GetUint64() == Attribute.UInt64Value, "an unsigned integer changed");
			break;
		default:
			Check(Value.IsBool() && Value.GetBool() == Attribute.BoolValue, "a boolean changed");
		}
	}
}
