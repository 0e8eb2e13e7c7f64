// The wall clock steps (NTP, a user setting the time, a resume) while the panel samples: the
// rates, the self-load and the disk rule must not notice. This
// program steps CLOCK_REALTIME for itself alone by standing in for clock_gettime, so every
// caller in it (std::chrono::system_clock, Qt, our readers) sees the step; the other clocks
// pass through to the kernel.
#include "ScratchProcTree.h"
#include "model/NetworkSampler.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "readers/NetworkStatsReader.h"
#include "readers/SelfStatsReader.h"
#include "support/LocalSources.h"
#include "support/ManualWakeTimer.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <ctime>

namespace {

std::atomic<std::int64_t> wallStepSeconds{0};

} // namespace

extern "C" int clock_gettime(clockid_t clock, timespec* time) noexcept {
    const long result = ::syscall(SYS_clock_gettime, clock, time);
    if (result == 0 && (clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE)) {
        time->tv_sec += static_cast<time_t>(wallStepSeconds.load());
    }
    return static_cast<int>(result);
}

namespace trovimo {
namespace {

using namespace std::chrono_literals;

TEST(ClockSteps, RatesAndSpacingsIgnoreWallClockSteps) {
    const auto before = std::chrono::system_clock::now();
    wallStepSeconds = 3600;
    ASSERT_GE(std::chrono::system_clock::now() - before, 1h) << "the stand-in is not used";
    wallStepSeconds = 0;

    test::ScratchProcTree tree;
    tree.write("sys/class/net/en0/flags", "0x1003\n");
    std::uint64_t received = 1'000'000;
    const auto count = [&] {
        tree.write("proc/net/dev", "Inter-|\n face |\nen0: " + std::to_string(received) +
                                       " 1 0 0 0 0 0 0 500 1 0 0 0 0 0 0\n");
    };
    count();

    SettingsStore settings(test::scratchDirectory() + QStringLiteral("/clock-steps.conf"));
    settings.registerDefaults(defaultSettings());
    settings.setBool(shownKey(Block::self), true);
    StatsStore store(
        settings,
        test::localSource(
            std::make_unique<NetworkSampler>(nullptr,
                                             std::make_unique<NetworkStatsReader>(tree.root())),
            readEveryTick(Block::self, &Figures::selfStats, std::make_unique<SelfStatsReader>())),
        std::make_unique<test::ManualWakeTimer>());

    // Measured on a clock of the test's own, so that the bound holds whatever the store uses.
    auto previousTick = std::chrono::steady_clock::now();
    store.tick();
    // Forward an hour, then back two: each would give a rate near 0 or exactly 0 and a
    // missing self-load on the wall clock. (The disk rule is timed on the store's clock too.)
    for (const std::int64_t step : {3600, -7200}) {
        received += 1'000'000;
        count();
        wallStepSeconds += step;
        const auto tickStart = std::chrono::steady_clock::now();
        store.tick();
        // At most this long passed between the two counter reads.
        const double bound =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - previousTick).count();
        previousTick = tickStart;
        ASSERT_TRUE(store.snapshot()->network) << step;
        EXPECT_GE(store.snapshot()->network->download, 1e6 / bound) << step;
        EXPECT_TRUE(store.snapshot()->selfStats) << step;
    }
    wallStepSeconds = 0;
}

} // namespace
} // namespace trovimo
