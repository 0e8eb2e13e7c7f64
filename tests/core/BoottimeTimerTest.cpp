#include "core/BoottimeTimer.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

// The timer must fire once per arm, from the Qt event loop.
TEST(BoottimeTimer, FiresOncePerArm) {
    trovimo::BoottimeTimer timer;
    QSignalSpy spy(&timer, &trovimo::WakeTimer::fired);
    timer.arm(20ms);
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(spy.wait(100)) << "a single-shot timer fired twice";
    timer.arm(1ms);
    timer.arm(10ms); // re-arming replaces the pending deadline
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.count(), 2);
}
