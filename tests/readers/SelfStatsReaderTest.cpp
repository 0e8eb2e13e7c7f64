#include "readers/SelfStatsReader.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace trovimo {
namespace {

using test::ScratchProcTree;

// Clocks the test sets by hand.
struct ManualClocks {
    std::optional<std::uint64_t> cpuTime = 0;
    std::uint64_t monotonic = 0;

    SelfClocks clocks() {
        return {[this] { return cpuTime; }, [this] { return monotonic; }};
    }
};

class SelfStatsReaderTest : public ::testing::Test {
protected:
    SelfStatsReaderTest() { tree.install("self/vm"); }

    ScratchProcTree tree;
    ManualClocks time;
    SelfStatsReader reader{tree.root(), time.clocks()};
};

// RssAnon 160 + RssShmem 0 + VmSwap 0 kB in the captured status of a small process.
constexpr std::uint64_t capturedFootprint = 160 * 1024;

TEST_F(SelfStatsReaderTest, FirstReadIsAbsentTheSecondIsCPUTimePerElapsedTime) {
    time.cpuTime = 1'000'000;
    time.monotonic = 5'000'000'000;
    EXPECT_FALSE(reader.read());
    time.cpuTime = 1'000'000 + 250'000'000;
    time.monotonic = 6'000'000'000;
    const auto stats = reader.read();
    ASSERT_TRUE(stats);
    EXPECT_DOUBLE_EQ(stats->cpu, 0.25);
    EXPECT_EQ(stats->memory, capturedFootprint);
}

TEST_F(SelfStatsReaderTest, SeveralBusyThreadsGoPastOneCore) {
    EXPECT_FALSE(reader.read());
    time.cpuTime = 3'000'000'000;
    time.monotonic = 1'000'000'000;
    const auto stats = reader.read();
    ASSERT_TRUE(stats);
    EXPECT_DOUBLE_EQ(stats->cpu, 3.0);
}

TEST_F(SelfStatsReaderTest, NoCPUTimeUsedIsZero) {
    time.cpuTime = 77;
    EXPECT_FALSE(reader.read());
    time.monotonic = 1'000'000'000;
    const auto stats = reader.read();
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->cpu, 0.0);
    EXPECT_EQ(stats->memory, capturedFootprint);
}

TEST_F(SelfStatsReaderTest, SameClockReadingIsAbsentButReplacesThePreviousSample) {
    time.monotonic = 100;
    EXPECT_FALSE(reader.read());
    time.cpuTime = 50;
    EXPECT_FALSE(reader.read());
    EXPECT_EQ(reader.previous(), (SelfCPUSample{50, 100}));
    time.monotonic = 200;
    time.cpuTime = 100;
    const auto stats = reader.read();
    ASSERT_TRUE(stats);
    EXPECT_DOUBLE_EQ(stats->cpu, 0.5); // against {50, 100}, not {0, 100}
}

TEST_F(SelfStatsReaderTest, FailedReadsKeepThePreviousSample) {
    time.monotonic = 100;
    EXPECT_FALSE(reader.read());
    time.cpuTime.reset();
    time.monotonic = 150;
    EXPECT_FALSE(reader.read());
    time.cpuTime = 20;
    tree.remove("proc/self/status");
    EXPECT_FALSE(reader.read());
    EXPECT_EQ(reader.previous(), (SelfCPUSample{0, 100}));
    tree.install("self/vm");
    time.monotonic = 200;
    const auto stats = reader.read();
    ASSERT_TRUE(stats);
    EXPECT_DOUBLE_EQ(stats->cpu, 0.2);
}

TEST(SelfStatsReader, MeasuresThisProcess) {
    SelfStatsReader reader;
    EXPECT_FALSE(reader.read());
    volatile std::uint64_t sink = 0;
    for (int i = 0; i < 2'000'000; ++i) {
        sink = sink + static_cast<std::uint64_t>(i);
    }
    const auto stats = reader.read();
    ASSERT_TRUE(stats);
    EXPECT_GT(stats->cpu, 0.0);
    EXPECT_GT(stats->memory, 0u);
}

TEST(ParseSelfFootprint, PrivateMemoryOnly) {
    EXPECT_EQ(parseSelfFootprint("VmRSS:\t 9000 kB\nRssAnon:\t 100 kB\nRssFile:\t 8000 kB\n"
                                 "RssShmem:\t 20 kB\nVmSwap:\t 3 kB\n"),
              123u * 1024);
    // A kernel without VmSwap (no swap support) still has the others.
    EXPECT_EQ(parseSelfFootprint("RssAnon: 1 kB\n"), 1024u);
    EXPECT_FALSE(parseSelfFootprint("VmRSS: 9000 kB\n"));
    EXPECT_FALSE(parseSelfFootprint("RssAnon: lots kB\n"));
    EXPECT_FALSE(parseSelfFootprint("RssAnon: 100\n"));
    EXPECT_FALSE(parseSelfFootprint("RssAnon: 18014398509481983 kB\nVmSwap: 1 kB\n"));
}

} // namespace
} // namespace trovimo
