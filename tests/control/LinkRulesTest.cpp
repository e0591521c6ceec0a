// The link judgements the main window's presence display makes (counted as connected, reachable
// without Bluetooth LE) and the retries of a failed BLE connection.
#include <gtest/gtest.h>

#include "control/LinkRules.h"

namespace zor::control::test {
namespace {

LinkFacts Facts(bool ble, bool selected, int kind, int receiverLink) {
    LinkFacts facts;
    facts.ble = ble;
    facts.selected = selected;
    facts.connectionKind = kind;
    facts.receiverLink = receiverLink;
    return facts;
}

TEST(LinkRulesTest, EachConnectionIsJudgedLinkedAndReachableAsItsStateSays) {
    struct Case {
        const char* what;
        LinkFacts facts;
        bool linked;
        bool reachable;
    };
    const Case cases[] = {
        {"nothing found", Facts(false, false, kConnectionCable, -1), false, false},
        {"BLE only", Facts(true, false, kConnectionCable, -1), true, false},
        {"cable", Facts(false, true, kConnectionCable, -1), true, true},
        {"receiver, mouse away", Facts(false, true, kConnectionReceiver, 0), false, false},
        {"receiver, mouse reported", Facts(false, true, kConnectionReceiver, 1), true, true},
        // Not reported yet: no no-device notice, but a BLE attempt is not cut short either.
        {"receiver, not reported yet", Facts(false, true, kConnectionReceiver, -1), true, false},
        {"receiver away, BLE up", Facts(true, true, kConnectionReceiver, 0), true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountsAsLinked(c.facts), c.linked) << c.what;
        EXPECT_EQ(ReachableByHid(c.facts), c.reachable) << c.what;
    }
}

TEST(LinkRulesTest, FailedBleAttemptsAreRetriedUpToTheLimitThenTheNextGivesUpAndCountsAfresh) {
    BleRetries retries;
    for (int attempt = 1; attempt <= kBleConnectTries; ++attempt) {
        EXPECT_EQ(retries.OnFailure(false), BleRetries::Next::Retry) << attempt;
        EXPECT_EQ(retries.Failures(), attempt);
    }
    EXPECT_EQ(retries.OnFailure(false), BleRetries::Next::GiveUp);
    EXPECT_EQ(retries.Failures(), 0);
    EXPECT_EQ(retries.OnFailure(false), BleRetries::Next::Retry);
    EXPECT_EQ(retries.Failures(), 1);
}

TEST(LinkRulesTest, AMouseReachableAnotherWayEndsTheRetriesAndClearsTheirCount) {
    BleRetries retries;
    retries.OnFailure(false);
    retries.OnFailure(false);
    EXPECT_EQ(retries.OnFailure(true), BleRetries::Next::Nothing);
    EXPECT_EQ(retries.Failures(), 0);
    // A later failure starts a new series with all its tries.
    for (int attempt = 1; attempt <= kBleConnectTries; ++attempt)
        EXPECT_EQ(retries.OnFailure(false), BleRetries::Next::Retry) << attempt;
    EXPECT_EQ(retries.OnFailure(false), BleRetries::Next::GiveUp);
}

}  // namespace
}  // namespace zor::control::test
