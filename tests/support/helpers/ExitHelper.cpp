// Test helper: ends with the exit code it is given ("kvt_exit_helper 0xC0000005"),
// or by the signal it is given ("kvt_exit_helper --signal 15").
#include <csignal>
#include <cstdlib>
#include <cstring>

int main(int ArgumentCount, char** Arguments)
{
	if (ArgumentCount == 3 && std::strcmp(Arguments[1], "--signal") == 0)
	{
		std::raise(static_cast<int>(std::strtol(Arguments[2], nullptr, 0)));
		return 125;
	}
	if (ArgumentCount != 2)
	{
		return 126;
	}
	// The full 32 bits: Windows exit codes such as 0xC0000005 must arrive unchanged.
	std::exit(static_cast<int>(static_cast<unsigned int>(std::strtoul(Arguments[1], nullptr, 0))));
}
