// A program the crash test kills while it writes:
//   CrashWriter library FILE   edits the macro library FILE without end, each edit written
//                              behind by the library's writer thread (as the macro page does);
//   CrashWriter inplace FILE   rewrites FILE in place, a piece at a time, without end: a writer
//                              that is NOT crash-safe, so the test can show it finds torn files.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "macro/MacroStore.h"

namespace {

int EditLibrary(const char* path) {
    zor::MacroStore store;
    if (!store.Load(path).ok || store.groups().empty()) {
        std::fprintf(stderr, "CrashWriter: %s has no macro group\n", path);
        return 2;
    }
    // Every edit hands its copy to the writer at once (the page waits for a pause in a burst;
    // handing over more often only gives the kills more writes to land in).
    store.SetWriteBehind(
        [&store] { store.Commit(); },
        [](const std::string& error) { std::fprintf(stderr, "CrashWriter: %s\n", error.c_str()); });
    for (unsigned n = 1;; ++n) {
        const std::string name = "edit " + std::to_string(n);
        if (!store.RenameGroup(0, std::u16string(name.begin(), name.end())).ok) return 3;
    }
}

int RewriteInPlace(const char* path) {
    for (unsigned n = 1;; ++n) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const std::string line = "{\"line\": " + std::to_string(n) + "}\n";
        for (int i = 0; i < 2000 && out; ++i) out << (i == 0 ? "[" : ",") << line << std::flush;
        out << "]\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "library") == 0) return EditLibrary(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "inplace") == 0) return RewriteInPlace(argv[2]);
    std::fprintf(stderr, "usage: CrashWriter library|inplace FILE\n");
    return 2;
}
