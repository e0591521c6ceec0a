// The program brought into step with a mouse that comes in over BLE: its replies are read, so a
// mouse that already holds the document is only read, not written again.
#include <QPushButton>

#include "support/Wait.h"
#include "MainWindowFixture.h"
#include "app/VirtualMouseWindow.h"
#include "device/BleText.h"
#include "device/CommandFrame.h"

namespace zor::app::test {
namespace {

// The frames sent over the bridge with this command byte.
int SentOverBle(CZorMainWnd& window, std::uint8_t command) {
    int n = 0;
    for (const std::string& text : window.Stack().VirtualBle()->SentTexts()) {
        const auto bytes = ParseBleText(text);
        if (bytes && bytes->size() > kPosCommand && (*bytes)[kPosCommand] == command) ++n;
    }
    return n;
}

TEST_F(MainWindowTest, AMouseComingInOverBleWithTheDocumentsIdentifiersIsReadNotRewritten) {
    Start();  // on the cable: the first synchronisation leaves the document's identifiers in the mouse
    const auto ids = Mouse().State().profileIds;
    ASSERT_NE(ids[static_cast<std::size_t>(window->Document().currentProfile)], 0);

    VirtualMouseWindow control(window->Stack());
    control.findChild<QPushButton*>(QStringLiteral("vm_ble"))->click();
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->Stack().Link().bleMode.load() == 1 && !window->ApplyRunning() &&
                                    SentOverBle(*window, 0x82) >= 2,
                                5000);
    // The identifiers were read over BLE (one read of the profile state, one of the identifiers)
    // and matched: nothing of the document went out again.
    for (std::uint8_t write : {0x02, 0x03, 0x04, 0x06, 0x07, 0x09, 0x0A})
        EXPECT_EQ(SentOverBle(*window, write), 0) << "write command " << int(write);
    EXPECT_EQ(Mouse().State().profileIds, ids);
}

}  // namespace
}  // namespace zor::app::test
