// The mouse's status reports: the input is cut into reports (a length byte, then that many
// bytes) fed in turn to the report parser (and back through the encoder the virtual mouse uses) and
// to the key state rules, as a listener would.
#include <cstdint>
#include <span>

#include "device/DeviceView.h"
#include "device/EventQueue.h"
#include "device/KeyState.h"
#include "device/StatusReport.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 16 * 1024) return 0;
    zor::DeviceView view;
    zor::DeviceViewState shown;
    if (size > 0) {
        shown.activeProfile = data[0] & 3;
        shown.currentGear = (data[0] >> 2) & 7;
        shown.suppressEvents = (data[0] & 0x80) != 0;
    }
    view.Set(shown);
    zor::EventQueue queue(4, 64);
    zor::KeyState keys;

    std::size_t pos = 1;
    while (pos < size) {
        const std::size_t length = std::min<std::size_t>(data[pos], size - pos - 1);
        const std::span<const std::uint8_t> report(data + pos + 1, length);
        pos += 1 + length;
        if (const auto status = zor::ParseInputStatus(report)) {
            zor::fuzz::Check(status->keyBits < (1u << 16), "only 16 key bits are reported");
            // The virtual mouse encodes through the same layout the listeners decode.
            const auto again = zor::ParseInputStatus(zor::EncodeInputStatus(*status));
            zor::fuzz::Check(again && again->keyBits == status->keyBits && again->link == status->link &&
                                 again->activeProfile == status->activeProfile &&
                                 again->reportRate == status->reportRate && again->gear == status->gear &&
                                 again->lighting == status->lighting && again->dpiValue == status->dpiValue &&
                                 again->secondValue == status->secondValue,
                             "a status report reads back as it was written");
        }
        const int queued = keys.ProcessStatusReport(report, 0, 2, view, queue);
        zor::fuzz::Check(queued >= 0 && queued <= 4 * zor::kKeyStateCount + 1, "events per report are bounded");
    }
    for (int i = 0; i < zor::kKeyStateCount; ++i) {
        const int bit = keys.KeyBit(i);
        zor::fuzz::Check(bit == 0 || bit == 1, "a key is up or down");
    }
    queue.Stop();
    return 0;
}
