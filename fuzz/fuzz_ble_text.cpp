// The bridge's hex text: the byte parser (whose output must survive a write and a second parse),
// the reply frame parser feeding the command set, and the battery event reader.
#include <cstdint>
#include <string>

#include "device/BleText.h"
#include "device/CommandSet.h"
#include "FakeDevice.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    const std::string_view text = zor::fuzz::AsText(data, size);

    if (const auto bytes = zor::ParseBleText(text)) {
        zor::fuzz::Check(bytes->size() <= zor::kMaxBleTextBytes, "byte count is capped");
        const auto again = zor::ParseBleText(zor::ToBleEventText(*bytes));
        zor::fuzz::Check(again && *again == *bytes, "written text parses to the same bytes");
    }
    if (const auto reply = zor::ParseBleReply(text)) {
        zor::fuzz::FakeLink fake(nullptr, 0);
        zor::CommandSet commands(fake.transport);
        commands.StoreReply(static_cast<std::uint8_t>(reply->command & ~zor::kReadBit), reply->argument,
                            reply->offset, reply->data);
    }
    if (const auto battery = zor::BatteryFromEventText(text)) {
        zor::fuzz::Check(*battery >= 0 && *battery <= 255, "battery is one byte");
    }
    return 0;
}
