// A HID handle that takes every feature report sent and answers each read with the next 41
// bytes of the fuzz input (short or missing data reads as a failed read), and a selected link
// that uses it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/Sleeper.h"
#include "device/CommandFrame.h"
#include "device/HidBus.h"
#include "device/LinkState.h"
#include "device/Transport.h"

namespace zor::fuzz {

class ReplyHandle final : public HidHandle {
public:
    ReplyHandle(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    int SetFeature(std::span<const std::uint8_t> report) override { return static_cast<int>(report.size()); }
    int GetFeature(std::span<std::uint8_t> report) override {
        if (m_pos >= m_size) return -1;
        const std::size_t n = std::min(report.size(), m_size - m_pos);
        std::copy_n(m_data + m_pos, n, report.begin());
        m_pos += n;
        return static_cast<int>(n);
    }
    int Read(std::span<std::uint8_t>, int) override { return -1; }
    int ReadUntil(std::span<std::uint8_t>, const WakeEvent&) override { return -1; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    const std::string& Path() const override { return m_path; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    std::string m_path = "fuzz";
};

class NoSleep final : public Sleeper {
public:
    void SleepMs(int) override {}
};

struct FakeLink {
    FakeLink(const std::uint8_t* data, std::size_t size) {
        link.featureHandle = std::make_shared<ReplyHandle>(data, size);
    }
    LinkState link;
    NoSleep sleeper;
    Transport transport{link, sleeper};
};

}  // namespace zor::fuzz
