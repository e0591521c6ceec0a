#include "CatalogTestKit.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "common/Debug.h"

namespace zor::test {

DebugCapture::DebugCapture() {
    SetDebugSinkForTest([this](const std::string& line) { m_lines.push_back(line); });
}

DebugCapture::~DebugCapture() {
    SetDebugSinkForTest(nullptr);
}

bool DebugCapture::contains(const std::string& text) const {
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

namespace {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string HexToBytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

void Put16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::string RawDeflate(const std::string& data) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

}  // namespace

bool EncryptWithOpenssl(const std::string& plain, const std::filesystem::path& out, const std::string& phrase,
                        const std::string& ivHex) {
    const auto plainPath = out.parent_path() / (out.filename().string() + ".plain");
    const auto keyPath = out.parent_path() / (out.filename().string() + ".key");
    WriteFile(plainPath, plain);
    WriteFile(out, HexToBytes(ivHex));
    const std::string deriveKey = "openssl enc -aes-256-cbc -md sha256 -nosalt -pass " +
                                  Quote("pass:" + phrase) + " -P 2>/dev/null | sed -n 's/^key=//p' > " +
                                  Quote(keyPath.string());
    const std::string encrypt = "openssl enc -aes-256-cbc -K \"$(cat " + Quote(keyPath.string()) +
                                ")\" -iv " + ivHex + " -in " + Quote(plainPath.string()) + " >> " +
                                Quote(out.string());
    const bool ok = RunShell(deriveKey) == 0 && RunShell(encrypt) == 0;
    std::filesystem::remove(plainPath);
    std::filesystem::remove(keyPath);
    return ok;
}

bool ZipFolder(const std::filesystem::path& folder, const std::filesystem::path& package,
               const std::string& extraOptions) {
    return RunShell("cd " + Quote(folder.string()) + " && zip -q -X -r " + extraOptions + " " +
                    Quote(package.string()) + " .") == 0;
}

std::string BuildRawZip(const std::vector<RawZipItem>& items) {
    std::string zip;
    std::string central;
    for (const auto& item : items) {
        const auto crc = static_cast<std::uint32_t>(
            crc32(0L, reinterpret_cast<const Bytef*>(item.data.data()), static_cast<uInt>(item.data.size())));
        const std::string stored = item.deflate ? RawDeflate(item.data) : item.data;
        const auto size = item.claimedSize.value_or(static_cast<std::uint32_t>(item.data.size()));
        const auto offset = static_cast<std::uint32_t>(zip.size());
        const std::uint32_t method = item.deflate ? 8 : 0;

        Put32(zip, 0x04034b50);
        Put16(zip, 20);
        Put16(zip, 0);
        Put16(zip, method);
        Put16(zip, 0);
        Put16(zip, 0x21);
        Put32(zip, crc);
        Put32(zip, static_cast<std::uint32_t>(stored.size()));
        Put32(zip, size);
        Put16(zip, static_cast<std::uint32_t>(item.name.size()));
        Put16(zip, 0);
        zip += item.name;
        zip += stored;

        Put32(central, 0x02014b50);
        Put16(central, 0x031e);  // made on Unix
        Put16(central, 20);
        Put16(central, 0);
        Put16(central, method);
        Put16(central, 0);
        Put16(central, 0x21);
        Put32(central, crc);
        Put32(central, static_cast<std::uint32_t>(stored.size()));
        Put32(central, size);
        Put16(central, static_cast<std::uint32_t>(item.name.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, item.externalAttributes);
        Put32(central, offset);
        central += item.name;
    }
    const auto centralOffset = static_cast<std::uint32_t>(zip.size());
    zip += central;
    Put32(zip, 0x06054b50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, static_cast<std::uint32_t>(items.size()));
    Put16(zip, static_cast<std::uint32_t>(items.size()));
    Put32(zip, static_cast<std::uint32_t>(central.size()));
    Put32(zip, centralOffset);
    Put16(zip, 0);
    return zip;
}

bool FileExists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

std::vector<std::string> ListFiles(const std::filesystem::path& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (!entry.is_directory()) files.push_back(entry.path().lexically_relative(folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace zor::test
