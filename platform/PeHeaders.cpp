#include "platform/PeHeaders.h"

#include "app/Log.h"

namespace
{
	constexpr uint64_t MinimumFileSize = 64;

	constexpr uint16_t DosSignature = 0x5A4D;          // "MZ"
	constexpr size_t NewHeaderOffsetField = 0x3C;      // e_lfanew
	constexpr uint32_t NtSignature = 0x00004550;       // "PE\0\0"
	// The 64-bit NT headers; asked of 32-bit files too, which keeps one rule
	// for how much of the file every check below may read.
	constexpr uint64_t NtHeadersSize = 264;
	constexpr size_t MachineField = 4;
	constexpr size_t CharacteristicsField = 22;
	constexpr uint16_t ExecutableImageFlag = 0x0002;   // IMAGE_FILE_EXECUTABLE_IMAGE
	constexpr uint16_t MachineI386 = 0x014C;
	constexpr uint16_t MachineAmd64 = 0x8664;

	// Little-endian whatever the host: the file format fixes the byte order.
	uint16_t ReadUInt16(const uint8_t* Bytes)
	{
		return static_cast<uint16_t>(Bytes[0] | (Bytes[1] << 8));
	}

	uint32_t ReadUInt32(const uint8_t* Bytes)
	{
		return static_cast<uint32_t>(Bytes[0]) | (static_cast<uint32_t>(Bytes[1]) << 8) |
			(static_cast<uint32_t>(Bytes[2]) << 16) | (static_cast<uint32_t>(Bytes[3]) << 24);
	}
}

bool CheckExecutableFileSize(uint64_t FileSize, const wchar_t* Category)
{
	if (FileSize < MinimumFileSize || FileSize > MaximumExecutableFileSize)
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

	const uint16_t DosMagic = ReadUInt16(Bytes);
	// e_lfanew is signed in the format; a negative offset is as wrong as one past the end.
	const int32_t NewHeaderOffset = static_cast<int32_t>(ReadUInt32(Bytes + NewHeaderOffsetField));
	if (DosMagic != DosSignature || NewHeaderOffset < 0 || static_cast<uint64_t>(NewHeaderOffset) + NtHeadersSize > Size)
	{
		Log(ELogLevel::Error, Category, L"Failed because of an invalid DOS signature: 0x%X", static_cast<uint32_t>(DosMagic));
		return false;
	}

	const uint8_t* NtHeaders = Bytes + NewHeaderOffset;
	const uint32_t Signature = ReadUInt32(NtHeaders);
	if (Signature != NtSignature)
	{
		Log(ELogLevel::Error, Category, L"Failed because of an invalid NT signature: 0x%X", Signature);
		return false;
	}

	const uint16_t Characteristics = ReadUInt16(NtHeaders + CharacteristicsField);
	if ((Characteristics & ExecutableImageFlag) == 0)
	{
		Log(ELogLevel::Error, Category,
			L"Failed because file header characteristics does not have IMAGE_FILE_EXECUTABLE_IMAGE: 0x%X",
			static_cast<uint32_t>(Characteristics));
		return false;
	}

	const uint16_t Machine = ReadUInt16(NtHeaders + MachineField);
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
