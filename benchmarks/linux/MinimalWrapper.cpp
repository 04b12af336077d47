// The floor for any launcher: one extra process that sets one variable and
// starts the game.
#include <cstdlib>
#include <spawn.h>

extern char** environ;

int main(int ArgumentCount, char** Arguments)
{
	if (ArgumentCount < 2)
	{
		return 2;
	}
	setenv("KVT_SESSION_GUID", "00000000-0000-0000-0000-000000000000", 1);
	pid_t Child = 0;
	return posix_spawn(&Child, Arguments[1], nullptr, nullptr, Arguments + 1, environ) == 0 ? 0 : 1;
}
