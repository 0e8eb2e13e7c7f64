#include "readers/GPUStatsReader.h"
#include "readers/gpu/IntelResidencySource.h"
#include "readers/gpu/NvmlSource.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace trovimo {
namespace {

using namespace std::chrono_literals;
using test::ScratchProcTree;
using SteadyTime = std::chrono::steady_clock::time_point;

// The scripted NVML stand-in, loaded here by the same path as by the reader, so both share
// its state. It stays loaded for the whole test program.
class FakeNvml {
public:
    FakeNvml() : handle_(::dlopen(TROVIMO_FAKE_NVML, RTLD_NOW | RTLD_LOCAL)) {}
    ~FakeNvml() {
        if (handle_) {
            ::dlclose(handle_);
        }
    }
    FakeNvml(const FakeNvml&) = delete;
    FakeNvml& operator=(const FakeNvml&) = delete;

    [[nodiscard]] bool loaded() const { return handle_ != nullptr; }
    void reset() { call<void (*)()>("fakeNvmlReset")(); }
    void devices(unsigned count, int refused = -1) {
        call<void (*)(unsigned, int)>("fakeNvmlSetDevices")(count, refused);
    }
    void initStatus(int status) { call<void (*)(int)>("fakeNvmlSetInitStatus")(status); }
    void utilization(unsigned device, unsigned percent, int status = 0) {
        call<void (*)(unsigned, unsigned, int)>("fakeNvmlSetUtilization")(device, percent, status);
    }
    struct Counts {
        int inits = 0;
        int shutdowns = 0;
        int queries = 0;
        [[nodiscard]] int open() const { return inits - shutdowns; }
    };
    [[nodiscard]] Counts counts() {
        Counts counts;
        call<void (*)(int*, int*, int*)>("fakeNvmlCounts")(&counts.inits, &counts.shutdowns,
                                                           &counts.queries);
        return counts;
    }

private:
    template <typename Function> Function call(const char* name) {
        return reinterpret_cast<Function>(::dlsym(handle_, name));
    }
    void* handle_;
};

FakeNvml& fakeNvml() {
    static FakeNvml library;
    return library;
}

constexpr const char* noNvml = "libtrovimo-no-such-nvml.so.1";

class GPUReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fakeNvml().loaded()) << ::dlerror();
        fakeNvml().reset();
    }
    GPUStatsReader reader(const std::string& root, const char* nvml = noNvml) {
        return GPUStatsReader(root, nvml, [this] { return now; });
    }
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
        {1000, 2000, 1s, 0.0},
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

TEST_F(GPUReaderTest, BusyPercentBecomesAClampedFraction) {
    tree.install("gpu/amdgpu");
    auto gpu = reader(tree.root());
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.37);
    const std::pair<const char*, double> cases[] = {
        {"0\n", 0.0}, {"100\n", 1.0}, {"120\n", 1.0}, {"-3\n", 0.0}};
    for (const auto& [text, fraction] : cases) {
        tree.write("sys/class/drm/card0/device/gpu_busy_percent", text);
        EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), fraction) << text;
    }
}

TEST_F(GPUReaderTest, ASuspendedCardAnswersZeroWithoutBeingRead) {
    // Its busy file holds text: had the reader opened it, the answer would be absent.
    auto gpu = reader(test::fixturePath("gpu/amdgpu-suspended"));
    EXPECT_EQ(gpu.read(), 0.0);
    EXPECT_EQ(gpu.read(), 0.0);
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

TEST_F(GPUReaderTest, SourcesWithoutABusyFigureGiveNothing) {
    EXPECT_FALSE(reader(test::fixturePath("gpu/virtio")).read());
    EXPECT_FALSE(reader(tree.root()).read()) << "no /sys/class/drm at all";
}

TEST_F(GPUReaderTest, KgslPercentage) {
    auto gpu = reader(test::fixturePath("gpu/kgsl"));
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.37);
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
    fakeNvml().utilization(0, 42);
    {
        auto gpu = reader(tree.root(), TROVIMO_FAKE_NVML);
        EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.42);
        EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.42);
        EXPECT_EQ(fakeNvml().counts().inits, 1) << "initialised once per held source";
        EXPECT_EQ(fakeNvml().counts().open(), 1);

        for (const int lost : {15, 16, 9, 18}) { // lost, reset, driver gone, version mismatch
            fakeNvml().utilization(0, 42, lost);
            EXPECT_FALSE(gpu.read()) << lost;
            EXPECT_EQ(fakeNvml().counts().open(), 0) << "released after error " << lost;
            fakeNvml().utilization(0, 55);
            EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.55) << "searched again";
            EXPECT_EQ(fakeNvml().counts().open(), 1);
        }
        // Without runtime power management the session stays, however idle the GPU is.
        fakeNvml().utilization(0, 0);
        for (int second = 0; second < 30; ++second) {
            now += 1s;
            EXPECT_EQ(gpu.read(), 0.0);
        }
        EXPECT_EQ(fakeNvml().counts().open(), 1);
    }
    EXPECT_EQ(fakeNvml().counts().open(), 0) << "the reader went away: shut down";
}

TEST_F(GPUReaderTest, AnIdleRuntimePowerManagedGpuIsLetGoSoItCanSuspend) {
    tree.install("gpu/nvidia");
    const std::string status = "sys/class/drm/card1/device/power/runtime_status";
    fakeNvml().utilization(0, 0);
    auto gpu = reader(tree.root(), TROVIMO_FAKE_NVML);
    EXPECT_EQ(gpu.read(), 0.0);
    now += 5s;
    EXPECT_EQ(gpu.read(), 0.0);
    EXPECT_EQ(fakeNvml().counts().open(), 1);
    now += 5s;
    EXPECT_EQ(gpu.read(), 0.0);
    EXPECT_EQ(fakeNvml().counts().open(), 0) << "10 s at 0 %: released";

    // Still awake for a moment (the driver's autosuspend delay): not opened again.
    now += 1s;
    EXPECT_EQ(gpu.read(), 0.0);
    EXPECT_EQ(fakeNvml().counts().inits, 1);

    tree.write(status, "suspended\n");
    const int queries = fakeNvml().counts().queries;
    for (int second = 0; second < 60; ++second) {
        now += 1s;
        EXPECT_EQ(gpu.read(), 0.0);
    }
    EXPECT_EQ(fakeNvml().counts().inits, 1) << "never opened while suspended";
    EXPECT_EQ(fakeNvml().counts().queries, queries);

    // Woken by someone else: measured again at once.
    tree.write(status, "active\n");
    fakeNvml().utilization(0, 64);
    now += 1s;
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.64);
    EXPECT_EQ(fakeNvml().counts().open(), 1);
}

TEST_F(GPUReaderTest, AGpuKeptAwakeByOthersIsMeasuredAgainAfterTheGrace) {
    tree.install("gpu/nvidia");
    fakeNvml().utilization(0, 0);
    auto gpu = reader(tree.root(), TROVIMO_FAKE_NVML);
    for (int second = 0; second <= 10; ++second) {
        EXPECT_EQ(gpu.read(), 0.0);
        now += 1s;
    }
    EXPECT_EQ(fakeNvml().counts().open(), 0);
    now += gpu::NvmlSource::reopenGrace;
    fakeNvml().utilization(0, 30);
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.3)
        << "it never suspended: our session costs nothing";
}

TEST_F(GPUReaderTest, ASuspendedNvidiaCardIsNotOpened) {
    tree.install("gpu/nvidia");
    tree.write("sys/class/drm/card1/device/power/runtime_status", "suspended\n");
    auto gpu = reader(tree.root(), TROVIMO_FAKE_NVML);
    EXPECT_EQ(gpu.read(), 0.0);
    EXPECT_EQ(fakeNvml().counts().inits, 0);
}

TEST_F(GPUReaderTest, NvmlWithoutADrmCardSkipsRefusedDevices) {
    fakeNvml().devices(3, 0); // device 0 refuses a handle (no permission)
    fakeNvml().utilization(1, 12);
    auto gpu = reader(tree.root(), TROVIMO_FAKE_NVML);
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.12);
    EXPECT_EQ(fakeNvml().counts().open(), 1) << "the searches that failed shut down again";
}

TEST_F(GPUReaderTest, BrokenOrMissingNvmlGivesNothing) {
    tree.install("gpu/nvidia");
    fakeNvml().utilization(0, 50);
    EXPECT_FALSE(reader(tree.root(), TROVIMO_BROKEN_NVML).read()) << "an entry point missing";
    EXPECT_FALSE(reader(tree.root(), noNvml).read());
    fakeNvml().initStatus(9); // driver not loaded
    auto gpu = reader(tree.root(), TROVIMO_FAKE_NVML);
    EXPECT_FALSE(gpu.read());
    fakeNvml().initStatus(0);
    const int inits = fakeNvml().counts().inits;
    now += GPUStatsReader::searchSpacing - 1s;
    EXPECT_FALSE(gpu.read()) << "a fruitless search is not repeated at once";
    EXPECT_EQ(fakeNvml().counts().inits, inits);
    now += 1s;
    EXPECT_DOUBLE_EQ(gpu.read().value_or(-1), 0.5) << "the driver came up: found next time";
    EXPECT_EQ(fakeNvml().counts().open(), 1);
}

} // namespace
} // namespace trovimo
