// A virtual mouse on a virtual bus, matched and selected, with a recording sleeper: the link
// every device test talks through.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Sleeper.h"
#include "device/CommandSet.h"
#include "device/DeviceMatch.h"
#include "device/Transport.h"
#include "device/VirtualBus.h"
#include "device/virtual/VirtualMouse.h"

namespace zor::test {

inline DeviceEntry VirtualEntry(int devType = 2) {
    DeviceEntry entry;
    entry.devType = devType;
    entry.vendorIds = {kVirtualVendorId, kVirtualVendorId};
    entry.productIds = {kVirtualCableProductId, kVirtualReceiverProductId};
    entry.names = {"MouseA", "MouseA"};
    return entry;
}

// Builds a 41-byte report from its fields, the rest zero.
inline Report MakeReport(std::uint8_t command, std::uint8_t sequence, std::uint8_t argument, int offset,
                         std::vector<std::uint8_t> payload, int length = -1) {
    Report r{};
    r[0] = 0x06;
    r[3] = command;
    r[4] = sequence;
    r[5] = argument;
    r[6] = static_cast<std::uint8_t>(offset & 0xFF);
    r[7] = static_cast<std::uint8_t>(offset >> 8);
    r[8] = static_cast<std::uint8_t>(length < 0 ? static_cast<int>(payload.size()) : length);
    std::copy(payload.begin(), payload.end(), r.begin() + 9);
    return r;
}

// Payload bytes of a received frame.
inline std::vector<std::uint8_t> Payload(const Report& r) {
    return std::vector<std::uint8_t>(r.begin() + 9, r.begin() + 9 + std::min<int>(r[8], 32));
}

class WireTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus.Attach(mouse);
        entry = VirtualEntry();
        ASSERT_TRUE(MatchDevice(bus, entry, link));
        SelectDevice(entry, link);
        mouse->ClearFrames();
        sleeper.clear();
    }

    // Frames the mouse received with this command byte.
    std::vector<Report> FramesOf(std::uint8_t command) const {
        std::vector<Report> out;
        for (const Report& r : mouse->Frames()) {
            if (r[3] == command) out.push_back(r);
        }
        return out;
    }

    VirtualBus bus;
    std::shared_ptr<VirtualMouse> mouse = std::make_shared<VirtualMouse>();
    LinkState link;
    RecordingSleeper sleeper;
    Transport transport{link, sleeper};
    CommandSet commands{transport};
    DeviceEntry entry;
};

}  // namespace zor::test
