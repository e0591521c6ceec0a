// Libraries opened on first use instead of with the program. Linking a library makes the loader
// map, relocate and start it (and everything it links) before main(); the libraries opened here
// serve one feature each (downloads, checksums, the BLE list) that most runs never use.
#pragma once

#include <dlfcn.h>

#include <string>

namespace zor {

// dlopen(name) for the life of the process; null (with the loader's reason in why) when the
// library is not there.
void* OpenSharedLibrary(const char* name, std::string& why);

// Looks up one function; false when the library lacks it.
template <typename Fn>
bool ResolveSymbol(void* library, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(dlsym(library, name));
    return fn != nullptr;
}

}  // namespace zor
