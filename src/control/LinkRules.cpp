#include "control/LinkRules.h"

namespace zor::control {

bool CountsAsLinked(const LinkFacts& facts) {
    return facts.ble ||
           (facts.selected && (facts.connectionKind == kConnectionCable || facts.receiverLink != 0));
}

bool ReachableByHid(const LinkFacts& facts) {
    return facts.selected && (facts.connectionKind == kConnectionCable || facts.receiverLink == 1);
}

BleRetries::Next BleRetries::OnFailure(bool reachableOtherwise) {
    if (reachableOtherwise) {
        m_failures = 0;
        return Next::Nothing;
    }
    if (m_failures < kBleConnectTries) {
        ++m_failures;
        return Next::Retry;
    }
    m_failures = 0;
    return Next::GiveUp;
}

}  // namespace zor::control
