#include "platform/EmbeddedResources.h"

namespace
{
	// Constant-initialised, so it is empty before the first entry's constructor runs.
	const FEmbeddedResource* GFirstEmbeddedResource = nullptr;
}

FEmbeddedResource::FEmbeddedResource(const wchar_t* InType, const wchar_t* InName, const uint8_t* InBegin,
	const uint8_t* InEnd) noexcept
	: Type(InType)
	, Name(InName)
	, Begin(InBegin)
	, End(InEnd)
	, Next(GFirstEmbeddedResource)
{
	GFirstEmbeddedResource = this;
}

bool FEmbeddedResource::TryFind(const std::wstring& Type, const std::wstring& Name, const uint8_t*& OutData,
	size_t& OutSize)
{
	for (const FEmbeddedResource* Entry = GFirstEmbeddedResource; Entry != nullptr; Entry = Entry->Next)
	{
		if (Entry->Type != nullptr && Entry->Name != nullptr && Type == Entry->Type && Name == Entry->Name &&
			Entry->Begin != nullptr && Entry->End >= Entry->Begin)
		{
			OutData = Entry->Begin;
			OutSize = static_cast<size_t>(Entry->End - Entry->Begin);
			return true;
		}
	}
	return false;
}
