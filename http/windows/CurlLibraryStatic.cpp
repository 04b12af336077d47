#include "http/CurlLibrary.h"

// The Windows build links its own static libcurl: nothing to load. Nor is
// libcurl initialised here or at start: curl_easy_init does that on the first
// upload, after the game has started, and only then are winsock and the
// certificate DLLs loaded (they are delay-loaded imports, see
// cmake/DelayImports.cmake). Initialising it earlier would load them before
// every game.
const FCurlLibrary* GetCurlLibrary()
{
	static const FCurlLibrary Library{&curl_easy_init, &curl_easy_setopt, &curl_easy_perform, &curl_easy_cleanup,
		&curl_easy_escape, &curl_free, &curl_easy_strerror, &curl_slist_append, &curl_slist_free_all};
	return &Library;
}
