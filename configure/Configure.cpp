#include "bootstrap/GenericBootstrapper.h"

#include "app/Log.h"
#include "configure/CommandLine.h"
#include "configure/CommandLineOption.h"
#include "configure/HelpPrinter.h"
#include "platform/PathRules.h"
#include "platform/Platform.h"
#include "platform/SystemErrorLog.h"

namespace
{
	constexpr const wchar_t* ConfigureCategory = L"FGenericBootstrapper::Configure";
	constexpr int32_t DefaultHelpWidth = 80;

	bool NamesSameFile(IPlatform& Platform, const std::wstring& Left, const std::wstring& Right)
	{
		return AreSamePathTexts(Left, Right) || Platform.IsSameFile(Left, Right);
	}

	// The application path is read two ways: next to the written launcher (as
	// the launcher will read its configuration) and from the current directory
	// (as the resource copy reads it). Writing the launcher over either would
	// destroy the application, or make a launcher that starts itself.
	bool NamesOutputFile(IPlatform& Platform, const std::wstring& OutputPath, const std::wstring& AppPath)
	{
		const std::wstring FullOutputPath = ResolvePathNextTo(std::wstring(), OutputPath);
		const std::wstring Readings[] = {
			ResolvePathNextTo(GetParentDirectory(FullOutputPath), AppPath),
			ResolvePathNextTo(std::wstring(), AppPath),
		};
		for (const std::wstring& AppReading : Readings)
		{
			if (NamesSameFile(Platform, FullOutputPath, AppReading))
			{
				return true;
			}
		}
		return false;
	}

	void PrintHelp(IPlatform& Platform, const FConfigureOptions& Options, const std::wstring& ProductName,
		const std::wstring& VersionTag)
	{
		uint32_t ConsoleWidth = 0;
		int32_t Width = DefaultHelpWidth;
		if (Platform.TryGetConsoleWidth(ConsoleWidth))
		{
			Width = static_cast<int32_t>(ConsoleWidth);
		}
		else
		{
			Log(ELogLevel::Error, ConfigureCategory, L"Failed to determine terminal width for text output.");
		}

		FHelpPrinter Printer(GetFileName(Platform.GetExecutablePath()), Width);
		Printer.AddParagraph(FHelpParagraph{
			FormatString(L"%s %s. Configures the KVT Bootstrapper for use with an application.", ProductName, VersionTag), {}});
		Printer.AddParagraph(FHelpParagraph{L"This tool performs the following actions:",
			{
				FormatString(L"1. Extracts the Boostrapper executable into the output file path (%s).",
					Options.OutputPath.LongName),
				FormatString(L"2. (Optional) Updates the program icon and version info of the copied Bootstrapper "
							 L"executable, using the target application executable (%s).",
					Options.AppPath.LongName),
				FormatString(L"3. Creates a new config file next to the output Bootstrapper executable."),
			}});
		Printer.SetOptionGroups(Options.GetUsageGroups());
		Printer.Print();
	}
}

int32_t FGenericBootstrapper::Configure(const std::wstring& ProductName, const std::wstring& VersionTag)
{
	return GuardOperation(ConfigureCategory, int32_t{1}, [&]() -> int32_t
	{
		const ICommandLine& CommandLine = *GetCommandLine();
		IPlatform& Platform = *GetPlatform();
		const FConfigureOptions Options = MakeConfigureOptions(CommandLine);

		bool bHelp = false;
		if (CommandLine.HasNoArguments() || (TryGetOptionFlag(CommandLine, Options.Help, bHelp) && bHelp))
		{
			PrintHelp(Platform, Options, ProductName, VersionTag);
			return 0;
		}

		Log(ELogLevel::Info, ConfigureCategory, L"Started %s %s.\n", ProductName, VersionTag);

		std::wstring OutputPath;
		if (!TryGetOptionPath(CommandLine, Options.OutputPath, OutputPath))
		{
			Log(ELogLevel::Error, ConfigureCategory, L"File path for the output Bootstrapper executable is required. (%s)",
				Options.OutputPath.LongName);
			return 1;
		}

		std::wstring AppPath;
		if (!TryGetOptionPath(CommandLine, Options.AppPath, AppPath) || AppPath.empty())
		{
			Log(ELogLevel::Error, ConfigureCategory, L"Target application file path is required. (%s)",
				Options.AppPath.LongName);
			return 1;
		}

		// Checked before anything is written: the output would replace the application.
		if (NamesOutputFile(Platform, OutputPath, AppPath))
		{
			Log(ELogLevel::Error, ConfigureCategory,
				L"The output Bootstrapper executable cannot be the target application itself: '%s'.", OutputPath);
			return 1;
		}

		// The configuration is written last; written over the launcher it
		// would leave a tool run that reports success and no launcher.
		const std::wstring ConfigPath = GetConfigPath(OutputPath);
		if (NamesSameFile(Platform, ResolvePathNextTo(std::wstring(), OutputPath),
				ResolvePathNextTo(std::wstring(), ConfigPath)))
		{
			Log(ELogLevel::Error, ConfigureCategory,
				L"The output Bootstrapper executable cannot be its own config file: '%s'.", OutputPath);
			return 1;
		}

		if (!Platform.TryCreatePathDirectories(OutputPath, true))
		{
			Log(ELogLevel::Error, ConfigureCategory, L"Failed to create the output directory tree for: '%s'.", OutputPath);
			return 1;
		}

		if (!TryCopyBootstrapperApp(OutputPath))
		{
			Log(ELogLevel::Error, ConfigureCategory,
				L"Failed to extract the Bootstrapper executable into the destination path: '%s'.", OutputPath);
			return 1;
		}

		bool bCopyResources = false;
		if (TryGetOptionFlag(CommandLine, Options.CopyResources, bCopyResources) && bCopyResources)
		{
			// Read from the current directory, not next to the output.
			if (!Platform.FileExists(AppPath))
			{
				Log(ELogLevel::Error, ConfigureCategory,
					L"Failed to copy program icon and version info. Application executable not found: '%s'.", AppPath);
				return 1;
			}
			if (!Platform.TryCopyExecutableResources(AppPath, OutputPath))
			{
				Log(ELogLevel::Error, ConfigureCategory,
					L"Failed to copy program icon and version info from the application executable into the output "
					L"Bootstrapper executable.");
				return 1;
			}
			Log(ELogLevel::Info, ConfigureCategory,
				L"Program icon and file version of the target application executable copied into the output Bootstrapper "
				L"executable.");
		}

		FBootstrapperConfig Config;
		Config.ApplicationPath = AppPath;
		TryGetOptionPath(CommandLine, Options.WorkingDir, Config.WorkingDirectory);
		bool bFlag = false;
		Config.WaitForExit = TryGetOptionFlag(CommandLine, Options.WaitForExit, bFlag) && bFlag;
		bFlag = false;
		Config.NoOperation = TryGetOptionFlag(CommandLine, Options.NoOperation, bFlag) && bFlag;

		if (!TryWriteConfig(ConfigPath, Config))
		{
			Log(ELogLevel::Error, ConfigureCategory, L"Failed to write the output config file to: '%s'.", ConfigPath);
			return 1;
		}

		Log(ELogLevel::Info, ConfigureCategory, L"Completed successfully.");
		return 0;
	});
}
