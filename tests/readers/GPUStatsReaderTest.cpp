#include "readers/GPUStatsReader.h"
#include "readers/gpu/IntelResidencySource.h"
#include "readers/gpu/NvmlSource.h"

#include "ScratchProcTree.h"
#include "fakenvml/FakeNvml.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace trovimo {
namespace {

using namespace std::chrono_literals;
using test::ScratchProcTree;
using SteadyTime = std::chrono::steady_clock::time_point;

// The scripted NVML stand-in's state. The library is loaded here by the same path as by the
// reader, so both share it; it stays loaded for the whole test program.
fakenvml::State* fakeNvmlState() {
    static void* const library = ::dlopen(TROVIMO_FAKE_NVML, RTLD_NOW | RTLD_LOCAL);
    const auto state =
        library ? reinterpret_cast<fakenvml::State* (*)()>(::dlsym(library, "fakeNvmlState"))
                : nullptr;
    return state ? state() : nullptr;
}

constexpr const char* noNvml = "libtrovimo-no-such-nvml.so.1";

class GPUReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nvml, nullptr) << ::dlerror();
        *nvml = {};
    }
    GPUStatsReader reader(const std::string& root, const char* library = noNvml) {
        return GPUStatsReader(root, library, [this] { return now; });
    }
    [[nodiscard]] int openSessions() const { return nvml->inits - nvml->shutdowns; }

    fakenvml::State* nvml = fakeNvmlState();
    ScratchProcTree tree;
    SteadyTime now = SteadyTime(1000s);
};

TEST(ResidencyBusyFraction, IdleShareOfTheElapsedTime) {
    struct Case {
        std::uint64_t previous;
        std::uint64_t current;
        std::chrono::nanoseconds elapsed;
        std::optional<double> busy;
    };
    const Case cases[] = {
        {1000, 1250, 1s, 0.75},
        {1000, 1000, 1s, 1.0},
        {1000, 2500, 1s, 0.0},                // counter ahead of the clock: clamped
        {4294967000, 454, 1s, 0.25},          // the u32 millisecond counter wrapped
        {5000000000, 1000, 1s, std::nullopt}, // a 64-bit counter went back: reset
        {1000, 1500, 0s, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto busy = gpu::residencyBusyFraction(c.previous, c.current, c.elapsed);
        ASSERT_EQ(busy.has_value(), c.busy.has_value()) << c.previous << " " << c.current;
        if (busy) {
            EXPECT_NEAR(*busy, *c.busy, 1e-9) << c.previous << " " << c.current;
        }
    }
}

// An amdgpu card, and no /sys/class/drm at all, are the fault matrix's (NoGpuAndAGpuThat...).
TEST_F(GPUReaderTest, CapturedBusyFiguresAndCardsWithout) {
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"gpu/kgsl", 0.37},
        // Its busy file holds text: had the reader opened it, the answer would be absent.
        {"gpu/amdgpu-suspended", 0.0},
        {"gpu/virtio", std::nullopt},
    };
    for (const auto& [fixture, busy] : cases) {
        auto gpu = reader(test::fixturePath(fixture));
        EXPECT_EQ(gpu.read(), busy) << fixture;
        EXPECT_EQ(gpu.read(), busy) << fixture;
    }
}

TEST_F(GPUReaderTest, CardsAreSearchedInNumericOrderAndDroppedWhenTheyStopAnswering) {
    for (const auto& [card, busy] : {std::pair{"card2", "20\n"}, std::pair{"card10", "80\n"}}) {
        tree.write(std::string("sys/class/drm/") + card + "/device/vendor", "0x1002\n");
        tree.write(std::string("sys/class/drm/") + card + "/device/gpu_busy_percent", busy);
    }
    tree.write("sys/class/drm/card1-DP-1/device/gpu_busy_percent", "99\n");
    auto gpu = reader(tree.root());
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.2) << "card2 before card10";

    tree.write("sys/class/drm/card2/device/gpu_busy_percent", "garbage\n");
    EXPECT_FALSE(gpu.read()) << "the held card stopped answering";
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.8) << "the next read searches again";
}

TEST_F(GPUReaderTest, IntelIdleResidencyAcrossTheKernelLayouts) {
    const std::pair<const char*, const char*> layouts[] = {
        {"gpu/i915", "sys/class/drm/card0/gt/gt0/rc6_residency_ms"},
        {"gpu/i915-legacy", "sys/class/drm/card0/power/rc6_residency_ms"},
        {"gpu/xe", "sys/class/drm/card0/device/tile0/gt0/gtidle/idle_residency_ms"},
    };
    for (const auto& [fixture, counter] : layouts) {
        ScratchProcTree scratch;
        scratch.install(fixture);
        auto gpu = reader(scratch.root());
        // Primed at discovery: the first read already has a value.
        EXPECT_EQ(gpu.read(), 0.0) << fixture;
        now += 1s;
        scratch.write(counter, "1250\n");
        EXPECT_NEAR(gpu.read().value_or(-1), 0.75, 1e-9) << fixture;
        now += 2s;
        scratch.write(counter, "3250\n");
        EXPECT_NEAR(gpu.read().value_or(-1), 0.0, 1e-9) << fixture;
    }
}

TEST_F(GPUReaderTest, IntelResidencyRestartsAfterARuntimeSuspend) {
    tree.install("gpu/i915");
    const std::string counter = "sys/class/drm/card0/gt/gt0/rc6_residency_ms";
    const std::string status = "sys/class/drm/card0/device/power/runtime_status";
    auto gpu = reader(tree.root());
    EXPECT_EQ(gpu.read(), 0.0);
    tree.write(status, "suspended\n");
    now += 60s;
    EXPECT_EQ(gpu.read(), 0.0);
    // The counter stood still while suspended; a delta across the sleep would read 100 %.
    tree.write(status, "active\n");
    now += 1s;
    EXPECT_EQ(gpu.read(), 0.0);
    now += 1s;
    tree.write(counter, "1500\n");
    EXPECT_NEAR(gpu.read().value_or(-1), 0.5, 1e-9);
}

TEST_F(GPUReaderTest, NvmlSessionIsHeldWhileItAnswersAndReleasedWhenTheGpuIsLost) {
    tree.install("gpu/nvidia");
    tree.write("sys/class/drm/card1/device/power/control", "on\n");
    nvml->utilization[0] = 42;
    {
        auto gpu = reader(tree.root(), TROVIMO_FAKE_NVML);
        EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.42);
        EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.42);
        EXPECT_EQ(nvml->inits, 1) << "initialised once per held source";
        EXPECT_EQ(openSessions(), 1);

        for (const int lost : {15, 16, 9, 18}) { // lost, reset, driver gone, version mismatch
            nvml->utilizationStatus = lost;
            EXPECT_FALSE(gpu.read()) << lost;
            EXPECT_EQ(openSessions(), 0) << "released after error " << lost;
            nvml->utilizationStatus = 0;
            EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.42) << "searched again";
            EXPECT_EQ(openSessions(), 1);
        }
        // Without runtime power management the session stays, however idle the GPU is.
        nvml->utilization[0] = 0;
        for (int second = 0; second < 30; ++second) {
            now += 1s;
            EXPECT_EQ(gpu.read(), 0.0);
        }
        EXPECT_EQ(openSessions(), 1);
    }
    EXPECT_EQ(openSessions(), 0) << "the reader went away: shut down";
}

TEST_F(GPUReaderTest, AnIdleRuntimePowerManagedGpuIsLetGoSoItCanSuspend) {
    tree.install("gpu/nvidia");
    const std::string status = "sys/class/drm/card1/device/power/runtime_status";
    tree.write(status, "suspended\n");
    auto gpu = reader(tree.root(), TROVIMO_FAKE_NVML);
    EXPECT_EQ(gpu.read(), 0.0);
    EXPECT_EQ(nvml->inits, 0) << "a card suspended at the search is not opened";
    tree.write(status, "active\n");
    const auto idleUntilReleased = [&] {
        for (int second = 0; second <= 10; ++second, now += 1s) {
            EXPECT_EQ(gpu.read(), 0.0);
        }
        EXPECT_EQ(openSessions(), 0) << "10 s at 0 %: released";
    };
    idleUntilReleased();
    // Still awake for a moment (the driver's autosuspend delay): not opened again...
    EXPECT_EQ(gpu.read(), 0.0);
    EXPECT_EQ(nvml->inits, 1);
    // ...but still awake after the grace: something else keeps it so, and we measure again.
    now += gpu::NvmlSource::reopenGrace;
    nvml->utilization[0] = 30;
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.3);

    nvml->utilization[0] = 0;
    idleUntilReleased();
    tree.write(status, "suspended\n");
    const int inits = nvml->inits;
    const int queries = nvml->queries;
    for (int second = 0; second < 60; ++second, now += 1s) {
        EXPECT_EQ(gpu.read(), 0.0);
    }
    EXPECT_EQ(nvml->inits, inits) << "never opened while suspended";
    EXPECT_EQ(nvml->queries, queries);

    // Woken by someone else: measured again at once.
    tree.write(status, "active\n");
    nvml->utilization[0] = 64;
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.64);
    EXPECT_EQ(openSessions(), 1);
}

TEST_F(GPUReaderTest, NvmlWithoutADrmCardSkipsRefusedDevices) {
    nvml->deviceCount = 3;
    nvml->refusedDevice = 0; // no permission
    nvml->utilization[1] = 12;
    auto gpu = reader(tree.root(), TROVIMO_FAKE_NVML);
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.12);
    EXPECT_EQ(openSessions(), 1) << "the searches that failed shut down again";
}

TEST_F(GPUReaderTest, BrokenOrMissingNvmlGivesNothing) {
    tree.install("gpu/nvidia");
    nvml->utilization[0] = 50;
    EXPECT_FALSE(reader(tree.root(), TROVIMO_BROKEN_NVML).read()) << "an entry point missing";
    EXPECT_FALSE(reader(tree.root(), noNvml).read());
    nvml->initStatus = 9; // driver not loaded
    auto gpu = reader(tree.root(), TROVIMO_FAKE_NVML);
    EXPECT_FALSE(gpu.read());
    nvml->initStatus = 0;
    now += GPUStatsReader::searchSpacing - 1s;
    EXPECT_FALSE(gpu.read()) << "a fruitless search is not repeated at once";
    EXPECT_EQ(nvml->inits, 0);
    now += 1s;
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.5) << "the driver came up: found next time";
    EXPECT_EQ(openSessions(), 1);
}

} // namespace
} // namespace trovimo
