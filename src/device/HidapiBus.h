// HidBus on libhidapi-hidraw: the hidraw nodes of the running system.
#pragma once

#include "device/HidBus.h"

namespace zor {

class HidapiBus final : public HidBus {
public:
    HidapiBus();
    ~HidapiBus() override;
    HidapiBus(const HidapiBus&) = delete;
    HidapiBus& operator=(const HidapiBus&) = delete;

    std::vector<HidInterfaceInfo> Enumerate() override;
    std::shared_ptr<HidHandle> Open(const std::string& path, HidAccess access) override;

private:
    bool m_initialised = false;
};

}  // namespace zor
