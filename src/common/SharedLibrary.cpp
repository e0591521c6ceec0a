#include "common/SharedLibrary.h"

namespace zor {

void* OpenSharedLibrary(const char* name, std::string& why) {
    // RTLD_LOCAL: the library's symbols are reached only through the tables built from it.
    void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        why = std::string("cannot load ") + name + ": " + (reason != nullptr ? reason : "unknown reason");
    }
    return library;
}

}  // namespace zor
