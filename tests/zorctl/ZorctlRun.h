// Runs the built zorctl on a private copy of the program folder and captures what it prints.
#pragma once

#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace zor::test {

struct ZorctlRun {
    int status = -1;
    std::string out;
    std::string err;
};

class ZorctlHome {
public:
    ZorctlHome();
    const std::filesystem::path& home() const { return m_home; }
    const std::filesystem::path& work() const { return m_work; }  // the user's current directory
    std::filesystem::path operator/(std::string_view name) const { return m_home / name; }
    // zorctl --home <home> ARGS, started in the user's directory (shell words, quoted by the caller).
    ZorctlRun Run(const std::string& args) const;

private:
    TempDir m_dir;
    std::filesystem::path m_home;
    std::filesystem::path m_work;
};

}  // namespace zor::test
