#pragma once

#include "core/WakeTimer.h"

#include <chrono>
#include <vector>

namespace trovimo::test {

// A wake-up that never comes on its own: it records every delay asked for, and the test
// decides when the wait is over.
class ManualWakeTimer final : public WakeTimer {
public:
    void arm(std::chrono::nanoseconds delay) override { armed.push_back(delay); }
    void fire() { emit fired(); }

    std::vector<std::chrono::nanoseconds> armed;
};

} // namespace trovimo::test
