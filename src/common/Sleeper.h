// Protocol pauses go through a Sleeper so that tests can record them instead of waiting.
#pragma once

#include <mutex>
#include <vector>

namespace zor {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void SleepMs(int ms) = 0;
};

class RealSleeper final : public Sleeper {
public:
    void SleepMs(int ms) override;
};

// Records every pause and waits for none.
class RecordingSleeper final : public Sleeper {
public:
    void SleepMs(int ms) override;
    std::vector<int> pauses() const;
    long long totalMs() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_pauses;
};

}  // namespace zor
