#include "update/CurlLibrary.h"

#include "common/Debug.h"
#include "common/SharedLibrary.h"

namespace zor::update {

const CurlLibrary& Curl() {
    static const CurlLibrary curl = [] {
        CurlLibrary c;
        static const char kName[] = "libcurl.so.4";
        void* library = OpenSharedLibrary(kName, c.error);
        if (library == nullptr) {
            DebugLine(c.error + "\n");
            return c;
        }
        c.loaded = ResolveSymbol(library, "curl_global_init", c.globalInit) &&
                   ResolveSymbol(library, "curl_easy_init", c.easyInit) &&
                   ResolveSymbol(library, "curl_easy_setopt", c.easySetopt) &&
                   ResolveSymbol(library, "curl_easy_perform", c.easyPerform) &&
                   ResolveSymbol(library, "curl_easy_getinfo", c.easyGetinfo) &&
                   ResolveSymbol(library, "curl_easy_cleanup", c.easyCleanup) &&
                   ResolveSymbol(library, "curl_easy_strerror", c.easyStrerror) &&
                   ResolveSymbol(library, "curl_free", c.free) && ResolveSymbol(library, "curl_url", c.url) &&
                   ResolveSymbol(library, "curl_url_get", c.urlGet) &&
                   ResolveSymbol(library, "curl_url_set", c.urlSet) &&
                   ResolveSymbol(library, "curl_url_cleanup", c.urlCleanup);
        if (!c.loaded) {
            c.error = std::string(kName) + " lacks a function the update service needs";
            DebugLine(c.error + "\n");
            return c;
        }
        if (c.globalInit(CURL_GLOBAL_ALL) != CURLE_OK) {
            c.loaded = false;
            c.error = std::string(kName) + " could not be initialised";
            DebugLine(c.error + "\n");
        }
        return c;
    }();
    return curl;
}

}  // namespace zor::update
