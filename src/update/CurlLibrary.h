// The functions of libcurl the update service uses, opened with the first request rather than
// with the program: libcurl links two TLS stacks, Kerberos, LDAP and SSH, and loading all of them
// made up most of the program's start-up work although most runs never download anything. Only
// libcurl's headers are needed at build time.
#pragma once

#include <curl/curl.h>

#include <string>

namespace zor::update {

struct CurlLibrary {
    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_perform) easyPerform = nullptr;
    decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_easy_strerror) easyStrerror = nullptr;
    decltype(&curl_free) free = nullptr;
    decltype(&curl_url) url = nullptr;
    decltype(&curl_url_get) urlGet = nullptr;
    decltype(&curl_url_set) urlSet = nullptr;
    decltype(&curl_url_cleanup) urlCleanup = nullptr;
    bool loaded = false;
    std::string error;  // why it is not loaded
};

// Opened and globally initialised once, by the first caller (curl_global_init must not run while
// another thread uses libcurl: the first call does it before any handle exists).
const CurlLibrary& Curl();

}  // namespace zor::update
