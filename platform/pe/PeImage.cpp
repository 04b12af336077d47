#include "platform/pe/PeImage.h"

#include "platform/Utf8.h"

bool TryMapRvaToFileOffset(const FPeImage& Image, size_t FileSize, uint32_t Rva, uint32_t Length, uint32_t& OutOffset)
{
	for (const FPeSection& Section : Image.Sections)
	{
		// The loader zero-fills what the raw data does not cover; there is
		// nothing in the file to read for that part.
		const uint32_t Extent = Section.VirtualSize != 0 ? Section.VirtualSize : Section.RawSize;
		if (Rva < Section.VirtualAddress || Rva - Section.VirtualAddress >= Extent)
		{
			continue;
		}
		const uint64_t Within = Rva - Section.VirtualAddress;
		if (Within + Length > Section.RawSize || !IsInsideFile(static_cast<uint64_t>(Section.RawOffset) + Within, Length, FileSize))
		{
			return false;
		}
		OutOffset = static_cast<uint32_t>(Section.RawOffset + Within);
		return true;
	}
	return false;
}

size_t GetDefaultLanguageIndex(const FPeResource& Resource)
{
	// The system's loader, asked without a language, tries the neutral
	// language, then the user's, then US English, then any English, and takes
	// the first otherwise. There is no Windows user language to ask here, so
	// the order is that of a machine set to US English.
	constexpr uint16_t Neutral = 0x0000;
	constexpr uint16_t UnitedStatesEnglish = 0x0409;
	constexpr uint16_t PrimaryLanguageMask = 0x03FF;
	constexpr uint16_t English = 0x09;
	const auto Find = [&Resource](auto Matches) -> size_t
	{
		for (size_t Index = 0; Index < Resource.Languages.size(); ++Index)
		{
			if (Matches(Resource.Languages[Index].Language))
			{
				return Index;
			}
		}
		return Resource.Languages.size();
	};
	for (const auto& Matches : {+[](uint16_t Language) { return Language == Neutral; },
			 +[](uint16_t Language) { return Language == UnitedStatesEnglish; },
			 +[](uint16_t Language) { return (Language & PrimaryLanguageMask) == English; }})
	{
		const size_t Index = Find(Matches);
		if (Index < Resource.Languages.size())
		{
			return Index;
		}
	}
	return 0;
}

std::wstring ResourceNameFromUtf16(const std::u16string& Text)
{
	if constexpr (sizeof(wchar_t) == sizeof(char16_t))
	{
		return std::wstring(Text.begin(), Text.end());
	}
	else
	{
		std::wstring Result;
		Result.reserve(Text.size());
		for (size_t Index = 0; Index < Text.size(); ++Index)
		{
			const char32_t High = Text[Index];
			if (IsHighSurrogate(High) && Index + 1 < Text.size() && IsLowSurrogate(Text[Index + 1]))
			{
				const char32_t Low = Text[++Index];
				Result.push_back(static_cast<wchar_t>(CombineSurrogates(High, Low)));
			}
			else
			{
				Result.push_back(static_cast<wchar_t>(High));
			}
		}
		return Result;
	}
}

std::u16string ResourceNameToUtf16(const std::wstring& Name)
{
	std::u16string Result;
	Result.reserve(Name.size());
	for (const wchar_t Character : Name)
	{
		const uint32_t CodePoint = static_cast<uint32_t>(Character);
		if (CodePoint > 0xFFFF)
		{
			Result.push_back(static_cast<char16_t>(HighSurrogateOf(CodePoint)));
			Result.push_back(static_cast<char16_t>(LowSurrogateOf(CodePoint)));
		}
		else
		{
			Result.push_back(static_cast<char16_t>(CodePoint));
		}
	}
	return Result;
}

bool IsBeforeInDirectory(const FPeResourceId& Left, const FPeResourceId& Right)
{
	if (Left.IsNamed() != Right.IsNamed())
	{
		return Left.IsNamed();
	}
	if (!Left.IsNamed())
	{
		return Left.Id < Right.Id;
	}
	// The loader upper-cases the name it looks for and then compares code
	// unit by code unit, so its binary search wants this order. (A name stored
	// in lower case is never found by name; resource compilers store upper case.)
	return ResourceNameToUtf16(Left.Name) < ResourceNameToUtf16(Right.Name);
}

bool TryCollectResourceTree(const uint8_t* Bytes, size_t Size, const FPeImage& Image, FPeResourceTree& OutResources)
{
	OutResources.clear();
	for (const FPeResource& Resource : Image.Resources)
	{
		for (const FPeResourceLanguage& Language : Resource.Languages)
		{
			if (static_cast<uint64_t>(Language.FileOffset) + Language.Size > Size)
			{
				return false;
			}
			const uint8_t* Start = Bytes + Language.FileOffset;
			FPeLanguageVersion& Version = OutResources[Resource.Type][Resource.Name][Language.Language];
			Version.Bytes.assign(Start, Start + Language.Size);
			Version.CodePage = Language.CodePage;
		}
	}
	return true;
}
