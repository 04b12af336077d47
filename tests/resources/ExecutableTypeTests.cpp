#include "platform/pe/PeHeaders.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestBootstrapper.h"
#include "tests/support/TestFiles.h"
#include "tests/resources/PeTestFiles.h"
#include "tests/resources/SystemCategories.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
	constexpr const wchar_t* Category = L"Test::Classify";

	// The bytes in a buffer of exactly their size, so that a read past the end
	// is a read outside the allocation (and the sanitizer build stops on it).
	bool Classify(const std::string& Bytes, EExecutableType& OutType)
	{
		const std::unique_ptr<uint8_t[]> Exact(new uint8_t[Bytes.size()]);
		std::copy(Bytes.begin(), Bytes.end(), Exact.get());
		return TryReadExecutableType(Exact.get(), Bytes.size(), Category, OutType);
	}
}

TEST(PeHeaders, NeedsRoomForTheWholeNtHeadersInsideTheFile)
{
	FLogCapture Capture;
	EExecutableType Type = EExecutableType::Executable32;
	const std::wstring DosRefusal = L"Failed because of an invalid DOS signature: 0x5A4D";

	// 264 bytes of NT headers, for 32-bit files too: a file that ends one byte
	// early is refused with the DOS message although its MZ is right.
	EXPECT_TRUE(Classify(MakePeHeaders(MachineI386, ExecutableImage, 0x80, 0x80 + 264), Type));
	EXPECT_EQ(Type, EExecutableType::Executable32);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, Category, L"Successfully determined executable type: Executable32"));
	EXPECT_FALSE(Capture.Has(ELogLevel::Error, Category, DosRefusal));
	EXPECT_FALSE(Classify(MakePeHeaders(MachineI386, ExecutableImage, 0x80, 0x80 + 263), Type));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, Category, DosRefusal));
	Capture.Clear();

	// Offsets past the end, near the top of the 32-bit range (no wrap-around),
	// and negative ones.
	for (const uint32_t Offset : {0x1000u, 0x7FFFFFFFu, 0xFFFFFF00u, 0x80000000u})
	{
		std::string Bytes = MakePeHeaders(MachineAmd64, ExecutableImage, 0x40, 0x200);
		PutUInt32(Bytes, 0x3C, Offset);
		EXPECT_FALSE(Classify(Bytes, Type)) << Offset;
	}
	EXPECT_EQ(Capture.Count(ELogLevel::Error), 4u);
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, Category, DosRefusal));

	EXPECT_FALSE(Classify(std::string(63, 'M'), Type));
	EXPECT_TRUE(Capture.Has(ELogLevel::Error, Category, L"Failed because of an invalid file size"));
}

namespace
{
	class ExecutableType : public ::testing::Test
	{
	protected:
		std::shared_ptr<IPlatform> Platform = MakeNativePlatform();
		FTempDirectory Directory;
		FLogCapture Capture;

		std::wstring Write(const std::wstring& Name, const std::string& Bytes)
		{
			WriteFileBytes(Directory.Path() / ToPath(Name), Bytes);
			return Directory.Wide(Name);
		}

		bool HasError(const std::wstring& Message) const
		{
			return Capture.Has(ELogLevel::Error, ExecutableTypeCategory, Message);
		}
	};
}

TEST_F(ExecutableType, ReadsFilesThroughTheSameChecks)
{
	EExecutableType Type = EExecutableType::Executable32;
	const std::wstring Dll = Write(L"library.dll", MakePeHeaders(MachineAmd64, ExecutableImage | DllImage, 0x80, 4096));
	EXPECT_TRUE(Platform->TryGetExecutableType(Dll, Type));
	EXPECT_EQ(Type, EExecutableType::Executable64);
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, ExecutableTypeCategory,
		L"Attempting to get executable type for executable path: '" + Dll + L"'"));
	EXPECT_TRUE(Capture.Has(ELogLevel::Verbose, ExecutableTypeCategory, L"Successfully determined executable type: Executable64"));

	EXPECT_FALSE(Platform->TryGetExecutableType(Write(L"arm64.exe", MakePeHeaders(MachineArm64, ExecutableImage)), Type));
	EXPECT_TRUE(HasError(L"Failed because of an unhandled file header machine type: 0xAA64"));
	EXPECT_FALSE(Platform->TryGetExecutableType(Write(L"object.obj", MakePeHeaders(MachineAmd64, 0)), Type));
	EXPECT_TRUE(HasError(L"Failed because file header characteristics does not have IMAGE_FILE_EXECUTABLE_IMAGE: 0x0"));

	std::string PastTheEnd = MakePeHeaders(MachineAmd64, ExecutableImage, 0x40, 0x100);
	PutUInt32(PastTheEnd, 0x3C, 0x200);
	EXPECT_FALSE(Platform->TryGetExecutableType(Write(L"short.exe", PastTheEnd), Type));
	EXPECT_TRUE(HasError(L"Failed because of an invalid DOS signature: 0x5A4D"));

	std::string Elf = MakePeHeaders(MachineAmd64, ExecutableImage);
	Elf.replace(0, 2, "\x7F" "E");
	EXPECT_FALSE(Platform->TryGetExecutableType(Write(L"program", Elf), Type));
	EXPECT_TRUE(HasError(L"Failed because of an invalid DOS signature: 0x457F"));

	std::string NoNtSignature = MakePeHeaders(MachineAmd64, ExecutableImage);
	NoNtSignature.replace(0x80, 4, "NE\0\0", 4);
	EXPECT_FALSE(Platform->TryGetExecutableType(Write(L"ne.exe", NoNtSignature), Type));
	EXPECT_TRUE(HasError(L"Failed because of an invalid NT signature: 0x454E"));
	EXPECT_EQ(Type, EExecutableType::Executable64);
}

TEST_F(ExecutableType, RefusesFilesTooSmallOrMissing)
{
	EExecutableType Type = EExecutableType::Executable32;
	// The size is checked before anything is mapped: an empty file cannot be mapped at all.
	for (const size_t Size : {size_t(0), size_t(63)})
	{
		Capture.Clear();
		EXPECT_FALSE(Platform->TryGetExecutableType(Write(L"small.exe", std::string(Size, 'M')), Type));
		EXPECT_TRUE(HasError(L"Failed because of an invalid file size")) << Capture.Dump();
	}
	// 64 bytes pass the size check and reach the DOS header check.
	Capture.Clear();
	std::string Minimal = MakePeHeaders(MachineAmd64, ExecutableImage, 0x40, 64);
	EXPECT_FALSE(Platform->TryGetExecutableType(Write(L"minimal.exe", Minimal), Type));
	EXPECT_TRUE(HasError(L"Failed because of an invalid DOS signature: 0x5A4D"));

	Capture.Clear();
	EXPECT_FALSE(Platform->TryGetExecutableType(Directory.Wide(L"missing.exe"), Type));
	ASSERT_EQ(Capture.Count(ELogLevel::Error), 1u);
	EXPECT_EQ(Capture.Entries().back().Message.rfind(L"Failed to create file handle: ", 0), 0u) << Capture.Dump();
}
