// Macro streams read back from the mouse: the first byte picks the slot, the rest answers the
// chunk reads (41 bytes per read). The same bytes also go straight to the stream parser, and
// its block is encoded again.
#include <cstdint>
#include <span>

#include "device/MacroStream.h"
#include "FakeDevice.h"
#include "FuzzSupport.h"

namespace {

void CheckBlock(const zor::MacroDeviceBlock& block) {
    zor::fuzz::Check(block.num <= zor::kMacroMaxEvents, "event count is capped");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 64 * 1024) return 0;
    const int slot = data[0] & 0x1F;
    {
        zor::fuzz::FakeLink fake(data + 1, size - 1);
        CheckBlock(zor::DecodeMacro(fake.transport, slot));
    }
    const auto parsed = zor::ParseMacroStream(std::span<const std::uint8_t>(data + 1, size - 1));
    CheckBlock(parsed);
    if (const auto stream = zor::BuildMacroStream(parsed)) {
        zor::fuzz::Check(stream->size() <= zor::kMacroStreamMax, "an encoded stream fits a slot");
    }
    return 0;
}
