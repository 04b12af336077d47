#pragma once

#include <curl/curl.h>

// The libcurl functions the client uses, reached through one table so that
// each system can bind them its own way.
struct FCurlLibrary
{
	decltype(&curl_easy_init) EasyInit;
	decltype(&curl_easy_setopt) EasySetOpt;
	decltype(&curl_easy_perform) EasyPerform;
	decltype(&curl_easy_cleanup) EasyCleanup;
	decltype(&curl_easy_escape) EasyEscape;
	decltype(&curl_free) Free;
	decltype(&curl_easy_strerror) EasyStrError;
	decltype(&curl_slist_append) SlistAppend;
	decltype(&curl_slist_free_all) SlistFreeAll;
};

// Null when libcurl is not available; then no request can be made.
const FCurlLibrary* GetCurlLibrary();
