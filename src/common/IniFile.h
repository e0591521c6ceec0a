// Windows profile-file access: case-insensitive sections and keys, first match wins, values
// trimmed and capped like the fixed buffers of the profile API, and writes that touch one line
// and keep the rest of the file (comments, order, encoding, line endings) as it was.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zor {

struct IniEntry {
    std::string section;
    std::string key;
    std::string value;
};

class IniFile {
public:
    static constexpr std::size_t kDefaultCap = 260;
    static constexpr std::size_t kSectionCap = 4096;
    // A file larger than this is not read (and so never replaced by a write).
    static constexpr std::size_t kMaxFileBytes = 16u * 1024u * 1024u;

    // A file of the installation that has a user's overlay (common/ProgramPaths decides which)
    // reads the overlay's keys first in the sections it holds, then the installation's file;
    // every write goes to the overlay.
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return m_path; }

    // Value of key in section, or "" when either is missing. At most cap - 1 characters
    // (UTF-16 code units) are returned, as the profile API does with a buffer of cap characters.
    std::string GetString(std::string_view section, std::string_view key,
                          std::size_t cap = kDefaultCap) const;
    // _wtoi of GetString: 0 when missing or not a number.
    int GetInt(std::string_view section, std::string_view key) const;
    // GetInt, but a missing key gives defaultValue (GetPrivateProfileInt).
    int GetIntOr(std::string_view section, std::string_view key, int defaultValue) const;
    // "key=value" lines of the section in file order; stops before the total (each line plus
    // its terminator) would exceed cap characters.
    std::vector<std::string> GetSection(std::string_view section, std::size_t cap = kSectionCap) const;
    bool HasSection(std::string_view section) const;
    // The names of the file's own section headers in file order (a repeated header repeats; an
    // overlay's are not included).
    std::vector<std::string> SectionNames() const;

    // Sets key in section to value: changes the first matching line, or adds the key at the end
    // of the section, or adds the section at the end of the file. Creates the file when missing.
    // The file is replaced atomically. Returns false when it could not be written.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Sets every entry, in order, as WriteString would, in one replacement of the file: a failed
    // or interrupted write leaves all of them as they were, never some old and some new.
    bool WriteStrings(const std::vector<IniEntry>& entries);
    // Removes the first line of key in section (a null value to the profile API). True when the
    // key is gone afterwards, also when it was never there.
    bool DeleteKey(std::string_view section, std::string_view key);

private:
    bool Overlaid(std::string_view section) const;
    const std::filesystem::path& WriteTarget() const { return m_overlay.empty() ? m_path : m_overlay; }

    std::filesystem::path m_path;
    std::filesystem::path m_overlay;  // empty: no overlay
    bool (*m_holds)(std::string_view section) = nullptr;
};

}  // namespace zor
