// A mouse for kernel tests: presents the virtual mouse's firmware model to the Linux kernel
// through /dev/uhid, so that the kernel makes real hidraw nodes and uevents for it.
//
//   uhid_mouse cable|receiver
//
// Each interface of the mouse is one uhid device of the same ids: the input collection (usage
// page 0xFF00, status reports id 5), the feature collection (usage page 0xFF01, command reports
// id 6 of 41 bytes and report 7), and on the receiver a plain mouse interface as well. Feature
// reports go to the firmware model; its status reports go out as input reports.
//
// Commands, one a line on standard input; each is answered with "ok COMMAND" (or "error ...")
// on standard output once done:
//   unplug                   every interface goes (UHID_DESTROY)
//   replug                   every interface comes back (UHID_CREATE2)
//   remove N / add N         interface N alone goes or comes back
//   press B / release B / click B   B = dpi, profile, lighting, report-rate
//   frames                   prints every command frame received so far, "frame XX XX ...", then clears them
//   quit
// End of input quits as well.
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/virtual/VirtualMouse.h"

namespace {

using zor::MouseButton;
using zor::VirtualMouse;

constexpr int kModelInputInterface = 0;  // the model's interface numbers
constexpr int kModelFeatureInterface = 1;

// Input collection: vendor page 0xFF00, usage 1, report 5 of 15 bytes after its id.
const std::vector<std::uint8_t> kInputDescriptor = {
    0x06, 0x00, 0xFF,  // usage page 0xFF00
    0x09, 0x01,        // usage 1
    0xA1, 0x01,        // collection (application)
    0x85, 0x05,        //   report id 5
    0x15, 0x00,        //   logical minimum 0
    0x26, 0xFF, 0x00,  //   logical maximum 255
    0x75, 0x08,        //   report size 8
    0x95, 0x0F,        //   report count 15
    0x09, 0x01,        //   usage 1
    0x81, 0x02,        //   input (data, variable, absolute)
    0xC0,              // end collection
};

// Feature collection: vendor page 0xFF01, usage 1, report 6 of 40 bytes and report 7 of 15
// bytes after their ids.
const std::vector<std::uint8_t> kFeatureDescriptor = {
    0x06, 0x01, 0xFF,  // usage page 0xFF01
    0x09, 0x01,        // usage 1
    0xA1, 0x01,        // collection (application)
    0x15, 0x00,        //   logical minimum 0
    0x26, 0xFF, 0x00,  //   logical maximum 255
    0x75, 0x08,        //   report size 8
    0x85, 0x06,        //   report id 6
    0x95, 0x28,        //   report count 40
    0x09, 0x01,        //   usage 1
    0xB1, 0x02,        //   feature (data, variable, absolute)
    0x85, 0x07,        //   report id 7
    0x95, 0x0F,        //   report count 15
    0x09, 0x02,        //   usage 2
    0xB1, 0x02,        //   feature (data, variable, absolute)
    0xC0,              // end collection
};

// The receiver's plain mouse: three buttons and relative X/Y, as any boot mouse.
const std::vector<std::uint8_t> kPointerDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15,
    0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01,
    0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0,
};

enum class Role { Pointer, Input, Feature };

struct Interface {
    Role role;
    const std::vector<std::uint8_t>* descriptor;
    int fd = -1;  // open /dev/uhid while the interface is plugged in
};

class UhidMouse {
public:
    explicit UhidMouse(zor::VirtualLinkKind kind) : m_mouse(kind) {
        const bool receiver = kind == zor::VirtualLinkKind::Receiver;
        m_name = receiver ? zor::kVirtualReceiverProduct : zor::kVirtualCableProduct;
        m_productId = receiver ? zor::kVirtualReceiverProductId : zor::kVirtualCableProductId;
        if (receiver) m_interfaces.push_back({Role::Pointer, &kPointerDescriptor});
        m_interfaces.push_back({Role::Input, &kInputDescriptor});
        m_interfaces.push_back({Role::Feature, &kFeatureDescriptor});
    }

    bool PlugAll() {
        m_mouse.SetAttached(true);
        for (std::size_t i = 0; i < m_interfaces.size(); ++i) {
            if (m_interfaces[i].fd < 0 && !Create(i)) return false;
        }
        return true;
    }
    void UnplugAll() {
        for (std::size_t i = 0; i < m_interfaces.size(); ++i) Destroy(i);
        m_mouse.SetAttached(false);
    }
    bool Create(std::size_t index);
    void Destroy(std::size_t index);
    int Run();

private:
    bool Command(const std::string& line);
    void ServeUhid(Interface& iface);
    void ForwardInput();
    bool Write(int fd, const uhid_event& event);

    VirtualMouse m_mouse;
    std::string m_name;
    std::uint16_t m_productId = 0;
    std::vector<Interface> m_interfaces;
    std::string m_pending;  // an incomplete command line
};

bool UhidMouse::Write(int fd, const uhid_event& event) {
    const ssize_t n = ::write(fd, &event, sizeof event);
    if (n != static_cast<ssize_t>(sizeof event)) {
        std::fprintf(stderr, "uhid_mouse: uhid write failed: %s\n", std::strerror(errno));
        return false;
    }
    return true;
}

bool UhidMouse::Create(std::size_t index) {
    if (index >= m_interfaces.size()) return false;
    Interface& iface = m_interfaces[index];
    if (iface.fd >= 0) return true;
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        std::fprintf(stderr, "uhid_mouse: cannot open /dev/uhid: %s\n", std::strerror(errno));
        return false;
    }
    uhid_event event{};
    event.type = UHID_CREATE2;
    auto& create = event.u.create2;
    std::snprintf(reinterpret_cast<char*>(create.name), sizeof create.name, "%s", m_name.c_str());
    std::snprintf(reinterpret_cast<char*>(create.phys), sizeof create.phys, "zor-uhid/input%zu", index);
    std::snprintf(reinterpret_cast<char*>(create.uniq), sizeof create.uniq, "ZOR%04X", m_productId);
    create.rd_size = static_cast<__u16>(iface.descriptor->size());
    create.bus = BUS_USB;
    create.vendor = zor::kVirtualVendorId;
    create.product = m_productId;
    create.version = 0x0100;
    std::memcpy(create.rd_data, iface.descriptor->data(), iface.descriptor->size());
    if (!Write(fd, event)) {
        ::close(fd);
        return false;
    }
    iface.fd = fd;
    return true;
}

void UhidMouse::Destroy(std::size_t index) {
    if (index >= m_interfaces.size() || m_interfaces[index].fd < 0) return;
    uhid_event event{};
    event.type = UHID_DESTROY;
    Write(m_interfaces[index].fd, event);
    ::close(m_interfaces[index].fd);
    m_interfaces[index].fd = -1;
}

// Answers the kernel's report requests on one interface from the firmware model.
void UhidMouse::ServeUhid(Interface& iface) {
    uhid_event event{};
    const ssize_t n = ::read(iface.fd, &event, sizeof event);
    if (n <= 0) return;
    if (event.type == UHID_GET_REPORT) {
        uhid_event reply{};
        reply.type = UHID_GET_REPORT_REPLY;
        auto& answer = reply.u.get_report_reply;
        answer.id = event.u.get_report.id;
        int got = -1;
        if (iface.role == Role::Feature && event.u.get_report.rtype == UHID_FEATURE_REPORT) {
            std::array<std::uint8_t, zor::kReportSize> report{};
            report[0] = event.u.get_report.rnum;
            const std::size_t size = report[0] == zor::kCommandReportId ? zor::kReportSize : 16;
            got = m_mouse.GetFeature(kModelFeatureInterface, std::span(report.data(), size));
            if (got > 0) std::memcpy(answer.data, report.data(), static_cast<std::size_t>(got));
        }
        answer.err = got < 0 ? EIO : 0;
        answer.size = static_cast<__u16>(got < 0 ? 0 : got);
        Write(iface.fd, reply);
    } else if (event.type == UHID_SET_REPORT) {
        uhid_event reply{};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = event.u.set_report.id;
        int sent = -1;
        if (iface.role == Role::Feature && event.u.set_report.rtype == UHID_FEATURE_REPORT) {
            const std::size_t size = std::min<std::size_t>(event.u.set_report.size, UHID_DATA_MAX);
            sent = m_mouse.SetFeature(kModelFeatureInterface, std::span(event.u.set_report.data, size));
        }
        reply.u.set_report_reply.err = sent < 0 ? EIO : 0;
        Write(iface.fd, reply);
    }
    // UHID_START, UHID_STOP, UHID_OPEN, UHID_CLOSE and UHID_OUTPUT need no answer.
}

// Every status report the model has queued goes out on the input interface (dropped while
// that interface is unplugged, as a real device's would be).
void UhidMouse::ForwardInput() {
    std::array<std::uint8_t, zor::kStatusReportLength> report{};
    for (;;) {
        const int got = m_mouse.Read(kModelInputInterface, report, 0);
        if (got <= 0) return;
        for (Interface& iface : m_interfaces) {
            if (iface.role != Role::Input || iface.fd < 0) continue;
            uhid_event event{};
            event.type = UHID_INPUT2;
            event.u.input2.size = static_cast<__u16>(got);
            std::memcpy(event.u.input2.data, report.data(), static_cast<std::size_t>(got));
            if (Write(iface.fd, event)) std::fprintf(stderr, "input report of %d bytes sent\n", got);
        }
    }
}

bool ParseButton(const std::string& name, MouseButton& button) {
    if (name == "dpi")
        button = MouseButton::Dpi;
    else if (name == "profile")
        button = MouseButton::Profile;
    else if (name == "lighting")
        button = MouseButton::Lighting;
    else if (name == "report-rate")
        button = MouseButton::ReportRate;
    else
        return false;
    return true;
}

// Runs one command line; false to quit.
bool UhidMouse::Command(const std::string& line) {
    const std::size_t space = line.find(' ');
    const std::string verb = line.substr(0, space);
    const std::string arg = space == std::string::npos ? "" : line.substr(space + 1);
    bool ok = true;
    MouseButton button{};
    if (verb == "quit") {
        return false;
    } else if (verb == "unplug") {
        UnplugAll();
    } else if (verb == "replug") {
        ok = PlugAll();
    } else if (verb == "remove" || verb == "add") {
        char* end = nullptr;
        const unsigned long index = std::strtoul(arg.c_str(), &end, 10);
        ok = !arg.empty() && *end == 0 && index < m_interfaces.size();
        if (ok && verb == "remove") Destroy(index);
        if (ok && verb == "add") ok = Create(index);
    } else if ((verb == "press" || verb == "release" || verb == "click") && ParseButton(arg, button)) {
        if (verb == "press") m_mouse.Press(button);
        if (verb == "release") m_mouse.Release(button);
        if (verb == "click") m_mouse.Click(button);
        ForwardInput();
    } else if (verb == "frames") {
        for (const zor::Report& frame : m_mouse.Frames()) {
            std::string text = "frame";
            for (std::uint8_t b : frame) {
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02X", b);
                text += hex;
            }
            std::printf("%s\n", text.c_str());
        }
        m_mouse.ClearFrames();
    } else {
        ok = false;
    }
    std::printf("%s %s\n", ok ? "ok" : "error", line.c_str());
    std::fflush(stdout);
    return true;
}

int UhidMouse::Run() {
    if (!PlugAll()) return 1;
    std::printf("ok started\n");
    std::fflush(stdout);
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({STDIN_FILENO, POLLIN, 0});
        fds.push_back({m_mouse.InputWaitFd(kModelInputInterface), POLLIN, 0});
        for (const Interface& iface : m_interfaces) fds.push_back({iface.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("uhid_mouse: poll");
            return 1;
        }
        if ((fds[1].revents & POLLIN) != 0) ForwardInput();
        for (std::size_t i = 0; i < m_interfaces.size(); ++i) {
            if ((fds[i + 2].revents & POLLIN) != 0 && m_interfaces[i].fd >= 0) ServeUhid(m_interfaces[i]);
        }
        if ((fds[0].revents & (POLLIN | POLLHUP)) != 0) {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) break;  // end of input
            m_pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t eol; (eol = m_pending.find('\n')) != std::string::npos;) {
                const std::string line = m_pending.substr(0, eol);
                m_pending.erase(0, eol + 1);
                if (line.empty()) continue;
                if (!Command(line)) {
                    UnplugAll();
                    return 0;
                }
            }
        }
    }
    UnplugAll();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc == 2 ? argv[1] : "";
    if (kind != "cable" && kind != "receiver") {
        std::fprintf(stderr, "usage: uhid_mouse cable|receiver\n");
        return 2;
    }
    UhidMouse mouse(kind == "cable" ? zor::VirtualLinkKind::Cable : zor::VirtualLinkKind::Receiver);
    return mouse.Run();
}
