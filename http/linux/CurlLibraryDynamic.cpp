#include "http/CurlLibrary.h"

#include "app/Log.h"
#include "platform/ScopedHandle.h"
#include "platform/Utf8.h"

#include <dlfcn.h>

// The system's libcurl and the thirty-odd libraries behind it cost a player
// several milliseconds before the game could start. The uploads only happen
// after the game has started, so the library is loaded on first use instead;
// a system without it still starts games, only without telemetry.
namespace
{
	struct FSharedLibraryTraits
	{
		using HandleType = void*;
		static HandleType Invalid() { return nullptr; }
		static bool IsValid(HandleType Handle) { return Handle != nullptr; }
		static bool Release(HandleType Handle) { return ::dlclose(Handle) == 0; }
	};

	template <typename TFunction>
	bool TryBind(void* Handle, const char* Name, TFunction& OutFunction)
	{
		OutFunction = reinterpret_cast<TFunction>(::dlsym(Handle, Name));
		return OutFunction != nullptr;
	}

	struct FLoadedCurl
	{
		FScopedHandle<FSharedLibraryTraits> Handle;
		FCurlLibrary Library{};
		bool bLoaded = false;

		FLoadedCurl()
		{
			Handle.Reset(::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL));
			if (!Handle.IsValid())
			{
				const char* Reason = ::dlerror();
				Log(ELogLevel::Error, L"FCurlLibrary::Load", L"Failed to load libcurl: %s",
					DecodeUtf8Lossless(Reason != nullptr ? Reason : "unknown reason"));
				return;
			}
			void* Raw = Handle.Get();
			bLoaded = TryBind(Raw, "curl_easy_init", Library.EasyInit) && TryBind(Raw, "curl_easy_setopt", Library.EasySetOpt) &&
				TryBind(Raw, "curl_easy_perform", Library.EasyPerform) && TryBind(Raw, "curl_easy_cleanup", Library.EasyCleanup) &&
				TryBind(Raw, "curl_easy_escape", Library.EasyEscape) && TryBind(Raw, "curl_free", Library.Free) &&
				TryBind(Raw, "curl_easy_strerror", Library.EasyStrError) &&
				TryBind(Raw, "curl_slist_append", Library.SlistAppend) &&
				TryBind(Raw, "curl_slist_free_all", Library.SlistFreeAll);
			if (!bLoaded)
			{
				Log(ELogLevel::Error, L"FCurlLibrary::Load", L"Failed to find the functions of libcurl.");
			}
		}
	};
}

const FCurlLibrary* GetCurlLibrary()
{
	static const FLoadedCurl Loaded;
	return Loaded.bLoaded ? &Loaded.Library : nullptr;
}
