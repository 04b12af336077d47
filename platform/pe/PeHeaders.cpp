#include "platform/pe/PeHeaders.h"

#include "app/Log.h"
#include "platform/pe/PeFormat.h"

using namespace PeFormat;

bool CheckExecutableFileSize(uint64_t FileSize, const wchar_t* Category)
{
	if (FileSize < DosHeaderSize || FileSize > MaximumExecutableFileSize)
	{
		Log(ELogLevel::Error, Category, L"Failed because of an invalid file size");
		return false;
	}
	return true;
}

ENtHeadersWalk WalkToNtHeaders(const uint8_t* Bytes, size_t Size, const FNtHeadersBound& Bound, uint32_t& OutOffset)
{
	const uint32_t NtOffset = ReadUInt32(Bytes, NewHeaderOffsetField);
	if (ReadUInt16(Bytes, 0) != DosSignature || NtOffset > Bound.MaximumOffset ||
		static_cast<uint64_t>(NtOffset) + Bound.RequiredSize > Size)
	{
		return ENtHeadersWalk::NoDosHeader;
	}
	OutOffset = NtOffset;
	return ReadUInt32(Bytes, NtOffset) == NtSignature ? ENtHeadersWalk::Found : ENtHeadersWalk::NoNtSignature;
}

bool TryReadExecutableType(const uint8_t* Bytes, size_t Size, const wchar_t* Category, EExecutableType& OutType)
{
	if (Bytes == nullptr || !CheckExecutableFileSize(Size, Category))
	{
		return false;
	}

	// e_lfanew is signed in the format; a negative offset is as wrong as one past the end.
	// The 64-bit NT headers are asked of 32-bit files too, which keeps one rule
	// for how much of the file every check below may read.
	constexpr FNtHeadersBound Bound{NtHeadersSize, 0x7FFFFFFF};
	uint32_t NtOffset = 0;
	const ENtHeadersWalk Walk = WalkToNtHeaders(Bytes, Size, Bound, NtOffset);
	if (Walk == ENtHeadersWalk::NoDosHeader)
	{
		Log(ELogLevel::Error, Category, L"Failed because of an invalid DOS signature: 0x%X",
			static_cast<uint32_t>(ReadUInt16(Bytes, 0)));
		return false;
	}
	const uint8_t* NtHeaders = Bytes + NtOffset;
	const uint8_t* FileHeader = NtHeaders + NtSignatureSize;
	if (Walk == ENtHeadersWalk::NoNtSignature)
	{
		Log(ELogLevel::Error, Category, L"Failed because of an invalid NT signature: 0x%X", ReadUInt32(NtHeaders));
		return false;
	}

	const uint16_t Characteristics = ReadUInt16(FileHeader, CharacteristicsField);
	if ((Characteristics & ExecutableImageFlag) == 0)
	{
		Log(ELogLevel::Error, Category,
			L"Failed because file header characteristics does not have IMAGE_FILE_EXECUTABLE_IMAGE: 0x%X",
			static_cast<uint32_t>(Characteristics));
		return false;
	}

	const uint16_t Machine = ReadUInt16(FileHeader, MachineField);
	EExecutableType Type;
	if (Machine == MachineI386)
	{
		Type = EExecutableType::Executable32;
	}
	else if (Machine == MachineAmd64)
	{
		Type = EExecutableType::Executable64;
	}
	else
	{
		Log(ELogLevel::Error, Category, L"Failed because of an unhandled file header machine type: 0x%X",
			static_cast<uint32_t>(Machine));
		return false;
	}

	OutType = Type;
	Log(ELogLevel::Verbose, Category, L"Successfully determined executable type: %s", ToString(Type));
	return true;
}
