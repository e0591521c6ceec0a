#include "common/IniFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

#include "common/AtomicFile.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"

namespace zor {

namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16LeBom };

// The file as lines; each line keeps its own '\r' when it had one, so that writing the lines
// back joined with '\n' reproduces the file byte for byte.
struct IniText {
    Encoding encoding = Encoding::Utf8;
    std::vector<std::string> lines;
    bool crlf = false;
};

std::string DecodeUtf16Le(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return Utf16ToUtf8(units);
}

std::string EncodeUtf16Le(std::string_view utf8) {
    const std::u16string units = Utf8ToUtf16(utf8);
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

std::optional<IniText> ReadIni(const std::filesystem::path& path) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes, IniFile::kMaxFileBytes)) return std::nullopt;
    IniText ini;
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        ini.encoding = Encoding::Utf16LeBom;
        text = DecodeUtf16Le(std::string_view(bytes).substr(2));
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        ini.encoding = Encoding::Utf8Bom;
        text = bytes.substr(3);
    } else {
        text = std::move(bytes);
    }
    ini.lines = text.empty() ? std::vector<std::string>{} : Split(text, '\n');
    // New lines follow the line ending of the first line.
    if (ini.lines.size() > 1) ini.crlf = !ini.lines[0].empty() && ini.lines[0].back() == '\r';
    return ini;
}

// The parsed text of the files read last, so that reading many keys of one file parses it once.
// An entry is used only while the file's identity, size and change times are those it was read
// with. Only files last modified a while before they were read are kept: file times tick
// coarsely, and a file rewritten within the tick of its read could otherwise keep its old stamp.
class IniCache {
public:
    std::shared_ptr<const IniText> Read(const std::filesystem::path& path) {
        struct stat before {};
        if (::stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) return Uncached(path);
        const std::string key = path.native();
        {
            std::lock_guard lock(m_mutex);
            for (const Entry& entry : m_entries) {
                if (entry.path == key && SameStamp(entry.stamp, before)) return entry.text;
            }
        }
        auto text = Uncached(path);
        struct stat after {};
        if (!text || ::stat(path.c_str(), &after) != 0 || !SameStamp(before, after) || !SettledBefore(after))
            return text;
        std::lock_guard lock(m_mutex);
        std::erase_if(m_entries, [&](const Entry& entry) { return entry.path == key; });
        if (m_entries.size() >= kEntries) m_entries.erase(m_entries.begin());
        m_entries.push_back({key, after, text});
        return text;
    }

    void Forget(const std::filesystem::path& path) {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_entries, [&](const Entry& entry) { return entry.path == path.native(); });
    }

private:
    static constexpr std::size_t kEntries = 8;
    static constexpr auto kSettled = std::chrono::seconds(2);

    struct Entry {
        std::string path;
        struct stat stamp;
        std::shared_ptr<const IniText> text;
    };

    static std::shared_ptr<const IniText> Uncached(const std::filesystem::path& path) {
        auto ini = ReadIni(path);
        if (!ini) return nullptr;
        return std::make_shared<const IniText>(std::move(*ini));
    }

    static bool SameTime(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
    static bool SameStamp(const struct stat& a, const struct stat& b) {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
               SameTime(a.st_mtim, b.st_mtim) && SameTime(a.st_ctim, b.st_ctim);
    }
    // Last written well before now: a later write, even of the same size, gets a newer time.
    static bool SettledBefore(const struct stat& st) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const auto age = std::chrono::seconds(now.tv_sec - st.st_mtim.tv_sec) +
                         std::chrono::nanoseconds(now.tv_nsec - st.st_mtim.tv_nsec);
        return age > kSettled;
    }

    std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

IniCache& Cache() {
    static IniCache cache;
    return cache;
}

std::string Serialize(const IniText& ini) {
    const std::string text = Join(ini.lines, "\n");
    if (ini.encoding == Encoding::Utf16LeBom) return std::string("\xFF\xFE") + EncodeUtf16Le(text);
    if (ini.encoding == Encoding::Utf8Bom) return std::string("\xEF\xBB\xBF") + text;
    return text;
}

// "[name]" (with optional blanks around) gives name.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimView(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return TrimView(line.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
    line = TrimView(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    if (IsComment(line)) return std::nullopt;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    KeyLine kl{TrimView(line.substr(0, eq)), TrimView(line.substr(eq + 1))};
    if (kl.key.empty()) return std::nullopt;
    // A value enclosed in one pair of matching quotes is read without them.
    if (kl.value.size() >= 2 && (kl.value.front() == '"' || kl.value.front() == '\'') &&
        kl.value.back() == kl.value.front()) {
        kl.value = kl.value.substr(1, kl.value.size() - 2);
    }
    return kl;
}

// Index range [begin, end) of the body of the first section named name; begin is the header.
std::optional<std::pair<std::size_t, std::size_t>> FindSection(const IniText& ini, std::string_view name) {
    for (std::size_t i = 0; i < ini.lines.size(); ++i) {
        auto s = SectionName(ini.lines[i]);
        if (!s || !EqualsIgnoreCaseAscii(*s, name)) continue;
        std::size_t end = i + 1;
        while (end < ini.lines.size() && !SectionName(ini.lines[end])) ++end;
        return std::make_pair(i, end);
    }
    return std::nullopt;
}

std::string CapUtf16(std::string_view value, std::size_t cap) {
    if (cap == 0) return {};
    std::u16string units = Utf8ToUtf16(value);
    if (units.size() <= cap - 1) return std::string(value);
    units.resize(cap - 1);
    if (!units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF) units.pop_back();
    return Utf16ToUtf8(units);
}

// Reads target, lets edit change its lines (false: nothing to write) and replaces the file, as
// long as nobody changed it between the read and the rename. A file another program changed
// meanwhile is read again and the same edit made on its lines: the edits are of single keys, so
// the other program's keys are kept and this one's still apply. A file that exists but cannot be
// read is never replaced.
template <typename Edit>
bool ReplaceIni(const std::filesystem::path& target, bool makeFolder, Edit edit) {
    constexpr int kAttempts = 5;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const FileStamp stamp = StampOf(target);
        IniText ini;
        if (stamp.exists) {
            auto read = ReadIni(target);
            if (!read) return false;
            ini = std::move(*read);
        } else if (makeFolder) {
            std::error_code ec;
            std::filesystem::create_directories(target.parent_path(), ec);
        }
        if (!edit(ini)) return true;
        Cache().Forget(target);
        const SaveOutcome outcome = WriteFileIfUnchanged(target, Serialize(ini), stamp, nullptr);
        if (outcome != SaveOutcome::Changed) return outcome == SaveOutcome::Written;
    }
    return false;
}

}  // namespace

IniFile::IniFile(std::filesystem::path path) : m_path(std::move(path)) {
    if (auto overlay = paths::OverlayOf(m_path)) {
        m_overlay = std::move(overlay->file);
        m_holds = overlay->holds;
    }
}

bool IniFile::Overlaid(std::string_view section) const {
    return !m_overlay.empty() && (m_holds == nullptr || m_holds(section));
}

namespace {

std::optional<std::string_view> FindValue(const IniText& ini, std::string_view section,
                                          std::string_view key) {
    auto range = FindSection(ini, section);
    if (!range) return std::nullopt;
    for (std::size_t i = range->first + 1; i < range->second; ++i) {
        auto kl = ParseKeyLine(ini.lines[i]);
        if (kl && EqualsIgnoreCaseAscii(kl->key, key)) return kl->value;
    }
    return std::nullopt;
}

// The section's key lines in file order.
std::vector<KeyLine> SectionLines(const IniText* ini, std::string_view section) {
    std::vector<KeyLine> out;
    if (ini == nullptr) return out;
    auto range = FindSection(*ini, section);
    if (!range) return out;
    for (std::size_t i = range->first + 1; i < range->second; ++i)
        if (auto kl = ParseKeyLine(ini->lines[i])) out.push_back(*kl);
    return out;
}

}  // namespace

std::string IniFile::GetString(std::string_view section, std::string_view key, std::size_t cap) const {
    if (Overlaid(section)) {
        auto overlay = Cache().Read(m_overlay);
        if (auto value = overlay ? FindValue(*overlay, section, key) : std::nullopt)
            return CapUtf16(*value, cap);
    }
    auto ini = Cache().Read(m_path);
    if (!ini) return {};
    auto value = FindValue(*ini, section, key);
    return value ? CapUtf16(*value, cap) : std::string();
}

int IniFile::GetInt(std::string_view section, std::string_view key) const {
    return ParseLeadingInt(GetString(section, key));
}

int IniFile::GetIntOr(std::string_view section, std::string_view key, int defaultValue) const {
    if (Overlaid(section)) {
        auto overlay = Cache().Read(m_overlay);
        if (auto value = overlay ? FindValue(*overlay, section, key) : std::nullopt)
            return ParseLeadingInt(*value);
    }
    auto ini = Cache().Read(m_path);
    if (!ini) return defaultValue;
    auto value = FindValue(*ini, section, key);
    return value ? ParseLeadingInt(*value) : defaultValue;
}

std::vector<std::string> IniFile::GetSection(std::string_view section, std::size_t cap) const {
    std::vector<std::string> out;
    auto ini = Cache().Read(m_path);
    std::vector<KeyLine> lines = SectionLines(ini.get(), section);
    std::shared_ptr<const IniText> overlay;
    if (Overlaid(section)) overlay = Cache().Read(m_overlay);
    // The overlay's value replaces the installation's line of the same key; its other keys follow.
    for (const KeyLine& mine : SectionLines(overlay.get(), section)) {
        auto same = std::find_if(lines.begin(), lines.end(),
                                 [&](const KeyLine& kl) { return EqualsIgnoreCaseAscii(kl.key, mine.key); });
        if (same != lines.end()) {
            same->value = mine.value;
        } else {
            lines.push_back(mine);
        }
    }
    // The profile API packs lines as "key=value\0...\0\0" into cap characters.
    std::size_t used = 1;
    for (const KeyLine& kl : lines) {
        std::string line = std::string(kl.key) + "=" + std::string(kl.value);
        const std::size_t units = Utf8ToUtf16(line).size() + 1;
        if (used + units > cap) break;
        used += units;
        out.push_back(std::move(line));
    }
    return out;
}

std::vector<std::string> IniFile::SectionNames() const {
    std::vector<std::string> names;
    auto ini = Cache().Read(m_path);
    if (!ini) return names;
    for (const std::string& line : ini->lines)
        if (auto name = SectionName(line)) names.emplace_back(*name);
    return names;
}

bool IniFile::HasSection(std::string_view section) const {
    if (Overlaid(section)) {
        auto overlay = Cache().Read(m_overlay);
        if (overlay && FindSection(*overlay, section)) return true;
    }
    auto ini = Cache().Read(m_path);
    return ini && FindSection(*ini, section).has_value();
}

namespace {

// Sets key in section within the text: the first matching line, else a new line at the end of
// the section, else a new section at the end of the text.
void SetKey(IniText& ini, std::string_view section, std::string_view key, std::string_view value) {
    const std::string cr = ini.crlf ? "\r" : "";
    auto range = FindSection(ini, section);
    if (range) {
        std::size_t insertAt = range->first + 1;
        for (std::size_t i = range->first + 1; i < range->second; ++i) {
            const std::string_view line = ini.lines[i];
            if (auto kl = ParseKeyLine(line); kl && EqualsIgnoreCaseAscii(kl->key, key)) {
                const bool hadCr = !line.empty() && line.back() == '\r';
                ini.lines[i] = std::string(kl->key) + "=" + std::string(value) + (hadCr ? "\r" : "");
                return;
            }
            if (!TrimView(line).empty()) insertAt = i + 1;
        }
        ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                         std::string(key) + "=" + std::string(value) + cr);
        return;
    }
    // Append the section as complete lines. The last piece of the split is "" when the file
    // ended with a line break; otherwise the last line gets its line break now.
    if (!ini.lines.empty() && ini.lines.back().empty()) {
        ini.lines.pop_back();
    } else if (!ini.lines.empty()) {
        ini.lines.back() += cr;
    }
    std::string header = "[";
    header.append(section).append("]").append(cr);
    ini.lines.push_back(std::move(header));
    ini.lines.push_back(std::string(key) + "=" + std::string(value) + cr);
    ini.lines.emplace_back();
}

}  // namespace

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    return WriteStrings({{std::string(section), std::string(key), std::string(value)}});
}

bool IniFile::WriteStrings(const std::vector<IniEntry>& entries) {
    if (entries.empty()) return true;
    const std::filesystem::path& target = WriteTarget();
    return ReplaceIni(target, !m_overlay.empty(), [&entries](IniText& ini) {
        for (const IniEntry& entry : entries) SetKey(ini, entry.section, entry.key, entry.value);
        return true;
    });
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
    // A key of the installation's file cannot go: the overlay hides it with an empty value.
    if (!m_overlay.empty()) {
        auto base = Cache().Read(m_path);
        if (base && FindValue(*base, section, key)) return WriteString(section, key, "");
    }
    const std::filesystem::path& target = WriteTarget();
    std::error_code ec;
    if (!std::filesystem::exists(target, ec)) return true;
    return ReplaceIni(target, false, [section, key](IniText& ini) {
        auto range = FindSection(ini, section);
        if (!range) return false;
        for (std::size_t i = range->first + 1; i < range->second; ++i) {
            if (auto kl = ParseKeyLine(ini.lines[i]); kl && EqualsIgnoreCaseAscii(kl->key, key)) {
                ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        }
        return false;
    });
}

}  // namespace zor
