#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zor::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zortest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::filesystem::path SourceDir() { return ZOR_TEST_SOURCE_DIR; }
std::filesystem::path BuildDir() { return ZOR_TEST_BUILD_DIR; }

int RunShell(const std::string& command) {
    int status = std::system(command.c_str());
    if (status == -1) return -1;
    return WEXITSTATUS(status);
}

}  // namespace zor::test
