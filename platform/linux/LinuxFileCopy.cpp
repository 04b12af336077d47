#include "platform/FileCopy.h"

#include <system_error>

bool CopyFileReplacing(const std::filesystem::path& Source, const std::filesystem::path& Target)
{
	std::error_code Error;
	return std::filesystem::copy_file(Source, Target, std::filesystem::copy_options::overwrite_existing, Error) && !Error;
}
