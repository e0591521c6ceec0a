// IniFile over arbitrary file bytes: reads, then a write that must read back, then a write into a
// section the file does not have.
#include <cctype>
#include <cstdint>
#include <string>

#include "common/IniFile.h"
#include "FuzzSupport.h"

namespace {

bool PlainName(const std::string& s) {
    if (s.empty() || s.size() > 32) return false;
    for (unsigned char c : s) {
        if (!std::isalnum(c) && c != '_') return false;
    }
    return true;
}

// The first "[section]" of the text and the first "key=" line after it, when both are plain.
void FirstNames(std::string_view text, std::string& section, std::string& key) {
    const auto open = text.find('[');
    if (open == std::string_view::npos) return;
    const auto close = text.find(']', open);
    const auto eol = text.find('\n', open);
    if (close == std::string_view::npos || close > eol) return;
    section = std::string(text.substr(open + 1, close - open - 1));
    if (eol == std::string_view::npos) return;
    const auto lineEnd = text.find('\n', eol + 1);
    const auto line = text.substr(eol + 1, lineEnd == std::string_view::npos ? std::string_view::npos
                                                                              : lineEnd - eol - 1);
    const auto eq = line.find('=');
    if (eq != std::string_view::npos) key = std::string(line.substr(0, eq));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    zor::fuzz::TempFolder temp;
    const auto file = temp.path() / "test.ini";
    zor::fuzz::WriteBytes(file, data, size);

    std::string section = "General";
    std::string key = "Key";
    FirstNames(zor::fuzz::AsText(data, size), section, key);

    zor::IniFile ini(file);
    (void)ini.GetString(section, key);
    (void)ini.GetString(section, key, 3);
    (void)ini.GetInt(section, key);
    (void)ini.GetIntOr(section, key, -7);
    (void)ini.GetSection(section);
    (void)ini.GetSection(section, 16);
    (void)ini.HasSection(section);

    if (ini.WriteString(section, key, "fz1") && PlainName(section) && PlainName(key)) {
        zor::fuzz::Check(zor::IniFile(file).GetString(section, key) == "fz1", "written value reads back");
    }
    if (ini.WriteString("zfznew", "k", "v 2")) {
        zor::fuzz::Check(ini.GetString("zfznew", "k") == "v 2", "new section reads back");
    }
    return 0;
}
