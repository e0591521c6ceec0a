#include "device/HidapiBus.h"

#include <fcntl.h>
#include <hidapi.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "common/Debug.h"

namespace zor {
namespace {

std::string WideToUtf8(const wchar_t* text) {
    std::string out;
    if (text == nullptr) return out;
    for (; *text != 0; ++text) {
        auto c = static_cast<std::uint32_t>(*text);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

HidBusType ToBusType(int busType) {
    switch (busType) {
        case HID_API_BUS_USB:
            return HidBusType::Usb;
        case HID_API_BUS_BLUETOOTH:
            return HidBusType::Bluetooth;
        case HID_API_BUS_I2C:
            return HidBusType::I2c;
        case HID_API_BUS_SPI:
            return HidBusType::Spi;
        default:
            return HidBusType::Unknown;
    }
}

class HidapiHandle final : public HidHandle {
public:
    HidapiHandle(hid_device* device, std::string path) : m_device(device), m_path(std::move(path)) {}
    ~HidapiHandle() override {
        Close();
        if (m_readFd >= 0) ::close(m_readFd);
    }
    HidapiHandle(const HidapiHandle&) = delete;
    HidapiHandle& operator=(const HidapiHandle&) = delete;

    int SetFeature(std::span<const std::uint8_t> report) override {
        std::lock_guard lock(m_mutex);
        if (m_device == nullptr || report.empty()) return -1;
        return hid_send_feature_report(m_device, report.data(), report.size());
    }
    int GetFeature(std::span<std::uint8_t> report) override {
        std::lock_guard lock(m_mutex);
        if (m_device == nullptr || report.empty()) return -1;
        return hid_get_feature_report(m_device, report.data(), report.size());
    }
    int Read(std::span<std::uint8_t> report, int timeoutMs) override {
        // The lock is held through the read so that Close never frees the device under it; the
        // program reads input reports and exchanges feature reports on two separate handles.
        std::lock_guard lock(m_mutex);
        if (m_device == nullptr || report.empty()) return -1;
        return hid_read_timeout(m_device, report.data(), report.size(), timeoutMs);
    }
    // hidapi offers no descriptor to poll, so the wait reads the hidraw node itself (the path
    // hidapi's hidraw back end enumerates), through a descriptor of its own: every open
    // descriptor of a hidraw node receives every input report, one report per read().
    int ReadUntil(std::span<std::uint8_t> report, const WakeEvent& stop) override {
        int fd = -1;
        {
            std::lock_guard lock(m_mutex);
            if (m_device == nullptr || report.empty()) return -1;
            if (m_readFd < 0) m_readFd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (m_readFd < 0) {
                DebugF("cannot open %s for input reports: %s\n", m_path.c_str(), std::strerror(errno));
                return -1;
            }
            fd = m_readFd;  // closed only by the destructor, never under a reader
        }
        for (;;) {
            const int ready = WaitReadable({fd, stop.Fd(), m_closed.Fd()});
            if (ready != 0) return ready == 1 ? 0 : -1;
            const ssize_t got = ::read(fd, report.data(), report.size());
            if (got > 0) return static_cast<int>(got);
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            return -1;  // the node has gone (ENODEV) or the read failed
        }
    }
    void Close() override {
        std::lock_guard lock(m_mutex);
        if (m_device != nullptr) hid_close(m_device);
        m_device = nullptr;
        m_closed.Raise();
    }
    bool IsOpen() const override {
        std::lock_guard lock(m_mutex);
        return m_device != nullptr;
    }
    const std::string& Path() const override { return m_path; }

private:
    mutable std::mutex m_mutex;
    hid_device* m_device;
    std::string m_path;
    int m_readFd = -1;
    WakeEvent m_closed;
};

}  // namespace

HidapiBus::HidapiBus() : m_initialised(hid_init() == 0) {
    if (!m_initialised) DebugLine("hid_init failed\n");
}

HidapiBus::~HidapiBus() {
    if (m_initialised) hid_exit();
}

std::vector<HidInterfaceInfo> HidapiBus::Enumerate() {
    std::vector<HidInterfaceInfo> result;
    if (!m_initialised) return result;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* info = list; info != nullptr; info = info->next) {
        HidInterfaceInfo item;
        item.path = info->path != nullptr ? info->path : "";
        item.vendorId = info->vendor_id;
        item.productId = info->product_id;
        item.productString = WideToUtf8(info->product_string);
        item.usagePage = info->usage_page;
        item.usage = info->usage;
        item.busType = ToBusType(static_cast<int>(info->bus_type));
        item.interfaceNumber = info->interface_number;
        result.push_back(std::move(item));
    }
    hid_free_enumeration(list);
    return result;
}

std::shared_ptr<HidHandle> HidapiBus::Open(const std::string& path, HidAccess /*access*/) {
    // hidraw nodes are opened read-write whatever the caller means to do with them.
    if (!m_initialised || path.empty()) return nullptr;
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) return nullptr;
    return std::make_shared<HidapiHandle>(device, path);
}

}  // namespace zor
