#include "tests/peresources/PeTestImages.h"

#include "tests/support/TestFiles.h"

#include <memory>
#include <sstream>

namespace
{
	std::filesystem::path FixturePath(const std::string& Name)
	{
		return std::filesystem::path(KVT_TEST_PE_FIXTURE_DIR) / Name;
	}

	std::unique_ptr<uint8_t[]> Exact(const std::string& Bytes)
	{
		std::unique_ptr<uint8_t[]> Copy(new uint8_t[Bytes.size()]);
		std::copy(Bytes.begin(), Bytes.end(), Copy.get());
		return Copy;
	}

	// "--type=14", "--name='MAINICON'", "--language=1033", "offset=0x1250", "size=176]"
	std::string ValueOf(const std::string& Token, const std::string& Key)
	{
		if (Token.rfind(Key, 0) != 0)
		{
			return {};
		}
		std::string Value = Token.substr(Key.size());
		if (!Value.empty() && Value.back() == ']')
		{
			Value.pop_back();
		}
		return Value;
	}

	FPeResourceId ToId(const std::string& Value)
	{
		FPeResourceId Id;
		if (!Value.empty() && Value.front() == '\'')
		{
			Id.Name.assign(Value.begin() + 1, Value.end() - 1);
		}
		else
		{
			Id.Id = static_cast<uint32_t>(std::stoul(Value));
		}
		return Id;
	}

	std::wstring DescribeId(const FPeResourceId& Id)
	{
		return Id.IsNamed() ? L"'" + Id.Name + L"'" : std::to_wstring(Id.Id);
	}
}

std::string ReadFixture(const std::string& Name)
{
	return ReadFileBytes(FixturePath(Name));
}

bool ParseExact(const std::string& Bytes, FPeImage& OutImage)
{
	return TryParsePeImage(Exact(Bytes).get(), Bytes.size(), OutImage);
}

bool ReadExact(const std::string& Bytes, const std::vector<FPeResourceId>& Types, std::vector<FPeResourceData>& OutResources)
{
	return TryReadResources(Exact(Bytes).get(), Bytes.size(), Types, OutResources);
}

std::vector<FListedResource> ReadListing(const std::string& Name)
{
	std::vector<FListedResource> Result;
	std::istringstream Lines(ReadFixture(Name + ".list"));
	std::string Line;
	while (std::getline(Lines, Line))
	{
		if (Line.empty() || Line == "\r")
		{
			continue;
		}
		FListedResource Resource;
		std::istringstream Tokens(Line);
		std::string Token;
		while (Tokens >> Token)
		{
			std::string Value;
			if (!(Value = ValueOf(Token, "--type=")).empty())
			{
				Resource.Type = ToId(Value);
			}
			else if (!(Value = ValueOf(Token, "--name=")).empty())
			{
				Resource.Name = ToId(Value);
			}
			else if (!(Value = ValueOf(Token, "--language=")).empty())
			{
				Resource.Language = static_cast<uint16_t>(std::stoul(Value));
			}
			else if (!(Value = ValueOf(Token, "offset=")).empty())
			{
				Resource.DataRva = static_cast<uint32_t>(std::stoul(Value, nullptr, 16));
			}
			else if (!(Value = ValueOf(Token, "size=")).empty())
			{
				Resource.Size = static_cast<uint32_t>(std::stoul(Value));
			}
		}
		Result.push_back(Resource);
	}
	return Result;
}

std::wstring Describe(const FListedResource& Resource)
{
	return L"type " + DescribeId(Resource.Type) + L" name " + DescribeId(Resource.Name) + L" language " +
		std::to_wstring(Resource.Language) + L" RVA " + std::to_wstring(Resource.DataRva) + L" size " +
		std::to_wstring(Resource.Size);
}
