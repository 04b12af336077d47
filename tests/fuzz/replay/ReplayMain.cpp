// Replays the fuzzers' committed inputs without libFuzzer, so that every native build's CTest run
// meets the inputs that once found a fault: each file of the folders given goes once through the
// target KVT_FUZZ_TARGET names (FuzzMain.cpp's table and entry points); a broken property traps.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

int main(int Argc, char** Argv)
{
	LLVMFuzzerInitialize(&Argc, &Argv);
	size_t Count = 0;
	for (int Index = 1; Index < Argc; ++Index)
	{
		for (const std::filesystem::directory_entry& Entry : std::filesystem::directory_iterator(Argv[Index]))
		{
			// Exactly the file's size, as libFuzzer gives it, so that the sanitizers see a read past the end.
			std::vector<uint8_t> Bytes(Entry.file_size());
			std::ifstream(Entry.path(), std::ios::binary).read(reinterpret_cast<char*>(Bytes.data()), Bytes.size());
			std::fprintf(stderr, "replaying %s\n", Entry.path().c_str());
			LLVMFuzzerTestOneInput(Bytes.data(), Bytes.size());
			++Count;
		}
	}
	std::fprintf(stderr, "%zu inputs replayed\n", Count);
	return Count > 0 ? 0 : 1;
}
