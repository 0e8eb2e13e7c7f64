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

// The first read has nothing to compare with; every later one divides the CPU time spent by
// the time elapsed.
TEST_F(SelfStatsReaderTest, CPUTimePerElapsedTime) {
    using Case = std::pair<std::uint64_t, double>;
    const Case cases[] = {{250'000'000, 0.25}, {3'000'000'000, 3.0} /* threads */, {0, 0.0}};
    for (const auto& [cpuSpent, expected] : cases) {
        ManualClocks clocks{1'000'000, 5'000'000'000};
        SelfStatsReader self(tree.root(), clocks.clocks());
        EXPECT_FALSE(self.read());
        clocks.cpuTime = 1'000'000 + cpuSpent;
        clocks.monotonic += 1'000'000'000;
        const auto stats = self.read();
        ASSERT_TRUE(stats);
        EXPECT_DOUBLE_EQ(stats->cpu, expected);
        EXPECT_EQ(stats->memory, capturedFootprint);
    }
}

// A read at the same clock reading is absent but becomes the sample to compare with; failed
// reads (no CPU time, no status file) are absent and leave it alone.
TEST_F(SelfStatsReaderTest, TheNextSampleIsComparedWithTheLastGoodOne) {
    time.monotonic = 100;
    EXPECT_FALSE(reader.read());
    time.cpuTime = 50;
    EXPECT_FALSE(reader.read()) << "no time passed";
    time.cpuTime.reset();
    time.monotonic = 150;
    EXPECT_FALSE(reader.read());
    time.cpuTime = 70;
    tree.remove("proc/self/status");
    EXPECT_FALSE(reader.read());
    tree.install("self/vm");
    time.monotonic = 200;
    const auto stats = reader.read();
    ASSERT_TRUE(stats);
    EXPECT_DOUBLE_EQ(stats->cpu, 0.2); // against {50 ns, 100 ns}
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
