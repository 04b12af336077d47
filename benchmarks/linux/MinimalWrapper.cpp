// The floor for any launcher: one extra process that sets one variable and
// starts the game.
//
// Built a second time with KVT_WRAPPER_GUID, it also draws the session GUID's
// bytes from getrandom first, as the launcher does before the game starts.
#include <cstdio>
#include <cstdlib>
#include <spawn.h>

#ifdef KVT_WRAPPER_GUID
#include <sys/random.h>
#endif

extern char** environ;

int main(int ArgumentCount, char** Arguments)
{
	if (ArgumentCount < 2)
	{
		return 2;
	}
	const char* Value = "00000000-0000-0000-0000-000000000000";
#ifdef KVT_WRAPPER_GUID
	unsigned char Bytes[16] = {};
	if (getrandom(Bytes, sizeof(Bytes), 0) != static_cast<ssize_t>(sizeof(Bytes)))
	{
		return 3;
	}
	char Text[40] = {};
	std::snprintf(Text, sizeof(Text), "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", Bytes[0],
		Bytes[1], Bytes[2], Bytes[3], Bytes[4], Bytes[5], Bytes[6], Bytes[7], Bytes[8], Bytes[9], Bytes[10], Bytes[11],
		Bytes[12], Bytes[13], Bytes[14], Bytes[15]);
	Value = Text;
#endif
	setenv("KVT_SESSION_GUID", Value, 1);
	pid_t Child = 0;
	return posix_spawn(&Child, Arguments[1], nullptr, nullptr, Arguments + 1, environ) == 0 ? 0 : 1;
}
