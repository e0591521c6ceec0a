// Opening the files the programs read as data (ini files, JSON documents, the device list
// package, the BLE list, imports, scripts): only a regular file of a bounded size is read. A FIFO
// would block the reader forever, a device node never ends (or has effects when opened), and a
// huge file would take all memory; each is refused with the reason, so that callers can name it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace zor {

enum class ReadFault {
    None,
    Missing,     // nothing of that name
    NotRegular,  // a folder, FIFO, socket or device node
    TooLarge,    // larger than the cap given
    CannotRead,  // no permission, or an error while reading
};

// A data file opened for reading, checked to be a regular file within the cap. The descriptor is
// opened without blocking and never for a name that is not a regular file at the time of the
// check; fstat checks the opened file again, so a FIFO swapped in between is refused too.
class DataFile {
public:
    DataFile(const std::filesystem::path& path, std::uint64_t maxBytes);
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    ReadFault fault() const { return m_fault; }
    bool ok() const { return m_fault == ReadFault::None; }
    int fd() const { return m_fd; }
    std::uint64_t size() const { return m_size; }
    // The whole file; false (fault() then says why) when it could not be read or grew past the cap.
    bool ReadAll(std::string& out);

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
    std::uint64_t m_maxBytes = 0;
    ReadFault m_fault = ReadFault::None;
};

// Reads a whole data file into out (left unchanged on a fault).
ReadFault ReadDataFile(const std::filesystem::path& path, std::string& out, std::uint64_t maxBytes);
// Checks path as ReadDataFile would, without reading it (for readers that open the file by name
// themselves, such as the zip library).
ReadFault CheckDataFile(const std::filesystem::path& path, std::uint64_t maxBytes);

// "does not exist", "is not a regular file", "is larger than N bytes", "cannot be read".
std::string ReadFaultText(ReadFault fault, std::uint64_t maxBytes);
// The path followed by ReadFaultText: "/x/y.json is not a regular file".
std::string DescribeReadFault(const std::filesystem::path& path, ReadFault fault, std::uint64_t maxBytes);

}  // namespace zor
