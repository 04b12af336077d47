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

bool TryReadExecutableType(const uint8_t* Bytes, size_t Size, const wchar_t* Category, EExecutableType& OutType)
{
	if (Bytes == nullptr || !CheckExecutableFileSize(Size, Category))
	{
		return false;
	}

	const uint16_t DosMagic = ReadUInt16(Bytes, 0);
	// e_lfanew is signed in the format; a negative offset is as wrong as one past the end.
	// The 64-bit NT headers are asked of 32-bit files too, which keeps one rule
	// for how much of the file every check below may read.
	const int32_t NewHeaderOffset = static_cast<int32_t>(ReadUInt32(Bytes, NewHeaderOffsetField));
	if (DosMagic != DosSignature || NewHeaderOffset < 0 || static_cast<uint64_t>(NewHeaderOffset) + NtHeadersSize > Size)
	{
		Log(ELogLevel::Error, Category, L"Failed because of an invalid DOS signature: 0x%X", static_cast<uint32_t>(DosMagic));
		return false;
	}

	const uint8_t* NtHeaders = Bytes + NewHeaderOffset;
	const uint8_t* FileHeader = NtHeaders + NtSignatureSize;
	const uint32_t Signature = ReadUInt32(NtHeaders);
	if (Signature != NtSignature)
	{
		Log(ELogLevel::Error, Category, L"Failed because of an invalid NT signature: 0x%X", Signature);
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
