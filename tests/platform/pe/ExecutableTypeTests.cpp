#include "platform/pe/PeHeaders.h"
#include "tests/platform/pe/PeFixtures.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace
{
#ifdef _WIN32
	const std::wstring Category = L"FWindowsPlatform::TryGetExecutableType";
#else
	const std::wstring Category = L"FLinuxPlatform::TryGetExecutableType";
#endif
	const std::wstring DosRefusal = L"Failed because of an invalid DOS signature: 0x5A4D";

	struct FCase
	{
		const char* What;
		std::string Bytes;
		std::optional<EExecutableType> Type; // none: refused
		std::wstring Message;                // the error, or the verbose line of success
	};
}

// Files of the system's platform, and the same bytes through the header check
// alone: the same answer.
TEST(ExecutableType, ClassifiesOrRefusesEachFileWithItsReason)
{
	using PeFormat::MachineAmd64;
	using PeFormat::MachineI386;
	constexpr uint16_t Image = PeFormat::ExecutableImageFlag;
	const std::vector<FCase> Cases = {
		{"32-bit library", ReadFixture("sample32.dll"), EExecutableType::Executable32, L"Successfully determined executable type: Executable32"},
		{"64-bit library", ReadFixture("sample64.dll"), EExecutableType::Executable64, L"Successfully determined executable type: Executable64"},
		// 264 bytes of NT headers, for 32-bit files too: a file that ends one
		// byte early is refused with the DOS message although its MZ is right.
		{"whole NT headers", MakePeHeaders(MachineI386, Image, 0x80, 0x80 + 264), EExecutableType::Executable32, L"Successfully determined executable type: Executable32"},
		{"NT headers one byte short", MakePeHeaders(MachineI386, Image, 0x80, 0x80 + 263), std::nullopt, DosRefusal},
		// Near the top of the 32-bit range (no wrap-around), and negative.
		{"NT headers near 4 GiB", MakePeHeaders(MachineAmd64, Image, 0xFFFFFF00, 0x200), std::nullopt, DosRefusal},
		{"negative NT offset", MakePeHeaders(MachineAmd64, Image, 0x80000000, 0x200), std::nullopt, DosRefusal},
		{"empty", "", std::nullopt, L"Failed because of an invalid file size"},
		{"63 bytes", std::string(63, 'M'), std::nullopt, L"Failed because of an invalid file size"},
		{"ARM64", MakePeHeaders(0xAA64, Image), std::nullopt, L"Failed because of an unhandled file header machine type: 0xAA64"},
		{"object file", MakePeHeaders(MachineAmd64, 0), std::nullopt, L"Failed because file header characteristics does not have IMAGE_FILE_EXECUTABLE_IMAGE: 0x0"},
		{"ELF", MakePeHeaders(MachineAmd64, Image).replace(0, 2, "\x7F" "E"), std::nullopt, L"Failed because of an invalid DOS signature: 0x457F"},
		{"NE", MakePeHeaders(MachineAmd64, Image).replace(0x80, 4, "NE\0\0", 4), std::nullopt, L"Failed because of an invalid NT signature: 0x454E"},
	};
	const std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
	FTempDirectory Directory;
	for (const FCase& Case : Cases)
	{
		SCOPED_TRACE(Case.What);
		WriteFileBytes(Directory.Path() / "file.exe", Case.Bytes);
		FLogCapture Capture;
		// A refusal leaves the caller's value alone.
		const EExecutableType Before =
			Case.Type == EExecutableType::Executable64 ? EExecutableType::Executable32 : EExecutableType::Executable64;
		EExecutableType Type = Before;
		EXPECT_EQ(Platform->TryGetExecutableType(Directory.Wide(L"file.exe"), Type), Case.Type.has_value());
		EXPECT_EQ(Type, Case.Type.value_or(Before));
		EXPECT_TRUE(Capture.Has(Case.Type ? ELogLevel::Verbose : ELogLevel::Error, Category, Case.Message)) << Capture.Dump();
		EXPECT_EQ(Capture.Count(ELogLevel::Error), Case.Type ? 0u : 1u) << Capture.Dump();

		// The platform maps whole pages; a buffer of exactly the file's size lets the sanitizer see a read past its end.
		Type = Before;
		const std::vector<uint8_t> Exact(Case.Bytes.begin(), Case.Bytes.end());
		EXPECT_EQ(TryReadExecutableType(Exact.data(), Exact.size(), L"Test::Classify", Type), Case.Type.has_value());
		EXPECT_EQ(Type, Case.Type.value_or(Before));
	}

	FLogCapture Capture;
	EExecutableType Type = EExecutableType::Executable32;
	EXPECT_FALSE(Platform->TryGetExecutableType(Directory.Wide(L"missing.exe"), Type));
	EXPECT_EQ(Capture.Entries().back().Message.rfind(L"Failed to create file handle: ", 0), 0u) << Capture.Dump();
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category,
		L"Attempting to get executable type for executable path: '" + Directory.Wide(L"missing.exe") + L"'"));
}
