// Stands in for a game in the start-up benchmark: the first thing it does is
// write the wall clock (nanoseconds since 1970) to the file in KVT_STAMP_FILE.
#include <chrono>
#include <cstdio>
#include <cstdlib>

int main()
{
	const long long Now = std::chrono::duration_cast<std::chrono::nanoseconds>(
		std::chrono::system_clock::now().time_since_epoch()).count();
	const char* Path = std::getenv("KVT_STAMP_FILE");
	if (Path == nullptr)
	{
		return 2;
	}
	std::FILE* File = std::fopen(Path, "wb");
	if (File == nullptr)
	{
		return 3;
	}
	std::fprintf(File, "%lld\n", Now);
	return std::fclose(File) == 0 ? 0 : 4;
}
