// The members every system's platform class declares, written once: this
// file is included inside the class body of FWindowsPlatform and
// FLinuxPlatform (no include guard, on purpose). Each system defines them in
// its own folder.

	std::wstring GetExecutablePath() override;
	bool TryGetValueFromRegistry(const std::wstring& SubKeyName, const std::wstring& ValueName,
		std::wstring& OutValue) override;
	bool TryRunExecutable(const std::wstring& ExecutablePath, const std::optional<std::wstring>& Arguments,
		const std::optional<std::wstring>& WorkingDirectory, bool bBreakaway, bool bWait, uint32_t* OutExitCode) override;
	bool TrySetEnvironmentVariable(const std::wstring& Name, const std::wstring& Value) override;
	void DeleteEnvironmentVariable(const std::wstring& Name) override;
	bool TryGetExecutableType(const std::wstring& Path, EExecutableType& OutType) override;
	bool TryCopyExecutableResources(const std::wstring& SourcePath, const std::wstring& TargetPath) override;
	bool TryCreateGuid(uint32_t& OutA, uint32_t& OutB, uint32_t& OutC, uint32_t& OutD) override;
	bool TryCreateProcessGroup(const std::wstring& Name, std::shared_ptr<IProcessGroup>& OutProcessGroup) override;
	bool TryGetConsoleWidth(uint32_t& OutWidth) override;
	std::wstring GetPlatformName() override;
	std::wstring GetPlatformVersion() override;

	// The steps behind TryCopyExecutableResources (platform/ResourceCopy.h).
	static bool TryGetResources(const std::wstring& Path, const std::vector<uintptr_t>& Types,
		std::vector<FResourceRecord>& OutRecords);
	static std::wstring DescribeResource(const FResourceRecord& Record);
	static bool TryRemoveResources(const std::wstring& Path, const std::vector<FResourceRecord>& Records);
	static bool TryAddResources(const std::wstring& Path, const std::vector<FResourceRecord>& Records);
	static bool TryRemoveAuthenticodeSignatures(const std::wstring& Path);
