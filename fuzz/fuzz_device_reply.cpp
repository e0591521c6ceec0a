// Device replies: the first two bytes pick the read (op, sub-op, lighting mode and macro slot),
// the rest is what the mouse answers, 41 bytes per read. Runs the chosen read, the current-state
// read-back, and the reply store with the first payload under every op.
#include <cstdint>

#include "device/CommandSet.h"
#include "FakeDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 64 * 1024) return 0;
    const std::uint8_t pick = data[0];
    const std::uint8_t extra = data[1];
    data += 2;
    size -= 2;
    {
        zor::fuzz::FakeLink fake(data, size);
        zor::CommandSet commands(fake.transport);
        zor::DeviceRequest& r = commands.Request();
        r.op = static_cast<std::uint8_t>(pick & 0x0F);
        r.subOp = static_cast<std::uint8_t>(pick >> 4);
        r.modeByte = extra;
        r.macroSlot = static_cast<std::uint8_t>(extra & 0x1F);
        (void)commands.ReadRequest();
    }
    {
        zor::fuzz::FakeLink fake(data, size);
        zor::CommandSet commands(fake.transport);
        (void)commands.ReadCurrentState();
    }
    if (size >= zor::kReportSize) {
        zor::fuzz::FakeLink fake(nullptr, 0);
        zor::CommandSet commands(fake.transport);
        const std::span<const std::uint8_t> payload(data + zor::kPosPayload, zor::kMaxPayload);
        for (int op = 0; op < 16; ++op) {
            commands.StoreReply(static_cast<std::uint8_t>(op), pick, extra * 25, payload);
        }
    }
    return 0;
}
