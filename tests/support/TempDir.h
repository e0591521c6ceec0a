// Test helpers: a temporary folder removed at the end of the test, file helpers, and the
// location of the source tree (for the shipped resources).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zor::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

// The project's source folder and build folder.
std::filesystem::path SourceDir();
std::filesystem::path BuildDir();

// Runs a shell command; returns its exit status (0 = success).
int RunShell(const std::string& command);

}  // namespace zor::test
