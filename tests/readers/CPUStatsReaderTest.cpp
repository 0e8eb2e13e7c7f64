#include "readers/CPUStatsReader.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace trovimo {
namespace {

using test::ScratchProcTree;

// The load one reader measures between two captured trees.
std::optional<CPULoad> loadBetween(const std::string& first, const std::string& second) {
    ScratchProcTree tree;
    tree.install(first);
    CPUStatsReader reader(tree.root());
    EXPECT_FALSE(reader.read()) << "the first read has nothing to compare with";
    tree.install(second);
    return reader.read();
}

TEST(CPUStatsReader, CapturedSamples) {
    using Case = std::tuple<const char*, const char*, std::vector<double>>;
    const Case cases[] = {
        // The idle and iowait columns stood still between the captures: both cores were busy.
        {"cpu/vm-2cores", "cpu/vm-2cores-later", {1.0, 1.0}},
        // cpu0: 50 of 100 ticks busy once irq, softirq and steal count as system and iowait as
        // idle, while its guest column (already inside user) moved by 20 and must not count.
        // By position, cpu2 would have been compared with cpu1.
        {"cpu/four-cores", "cpu/cpu1-offline", {0.5, 0.0, 1.0}},
        // cpu1 comes back without earlier counters: left out. The others went back (an earlier
        // capture): no time passed for them.
        {"cpu/cpu1-offline", "cpu/four-cores", {0.0, 0.0, 0.0}},
    };
    for (const auto& [first, second, perCore] : cases) {
        const auto load = loadBetween(first, second);
        ASSERT_TRUE(load) << second;
        EXPECT_EQ(load->perCore, perCore) << second;
    }
}

TEST(CPUStatsReader, ReadsHundredsOfCoresPastAnyFixedBuffer) {
    const auto load = loadBetween("cpu/384-cores", "cpu/384-cores-later");
    ASSERT_TRUE(load);
    ASSERT_EQ(load->perCore.size(), 384u);
    double sum = 0.0;
    for (std::size_t core = 0; core < 384; ++core) {
        const double expected = static_cast<double>(core % 101) / 100.0;
        EXPECT_DOUBLE_EQ(load->perCore[core], expected) << "cpu" << core;
        sum += expected;
    }
    EXPECT_NEAR(load->total, sum / 384.0, 1e-12);
}

TEST(CPUStatsReader, NoCoresOrAnUnreadableStatKeepsTheEarlierCounters) {
    ScratchProcTree tree;
    tree.install("cpu/no-cores");
    CPUStatsReader reader(tree.root());
    EXPECT_FALSE(reader.read());
    EXPECT_FALSE(reader.read()) << "no core in both samples";
    tree.install("cpu/four-cores");
    ASSERT_FALSE(reader.read());
    tree.install("cpu/garbled");
    EXPECT_FALSE(reader.read());
    tree.remove("proc/stat");
    EXPECT_FALSE(reader.read());
    // The next good sample is measured against the last good one.
    tree.install("cpu/cpu1-offline");
    const auto load = reader.read();
    ASSERT_TRUE(load);
    EXPECT_DOUBLE_EQ(load->perCore[0], 0.5);
}

TEST(BusyFraction, SixtyFourBitCountersAndStepsBack) {
    using Case = std::tuple<const char*, CPUTicks, CPUTicks, double>;
    constexpr std::uint64_t big = std::uint64_t{1} << 40;
    constexpr std::uint64_t top = UINT64_MAX;
    const Case cases[] = {
        {"unchanged", {5, 5, 5, 5}, {5, 5, 5, 5}, 0.0},
        {"nice is busy", {0, 0, 0, 0}, {0, 0, 30, 10}, 0.25},
        {"past 32 bits", {big, 0, big, 0}, {big + 10, 0, big + 10, 0}, 0.5},
        // iowait went back by two ticks: no time, not 2^64 - 2 ticks of idling.
        {"idle stepped back", {0, 0, 1000, 0}, {50, 0, 998, 0}, 1.0},
        {"only idle moved", {1, 2, 3, 4}, {1, 2, 103, 4}, 0.0},
        {"deltas that add up past 64 bits", {0, 0, 0, 0}, {top, top, top, 0}, 2.0 / 3.0},
    };
    for (const auto& [name, previous, current, expected] : cases) {
        EXPECT_DOUBLE_EQ(busyFraction(previous, current), expected) << name;
    }
}

TEST(ParseProcStat, TakesLinesApart) {
    using Case = std::tuple<const char*, const char*, std::optional<std::vector<NumberedCPUTicks>>>;
    using V = std::vector<NumberedCPUTicks>;
    const Case cases[] = {
        {"summary only", "cpu  1 2 3 4\n", V{}},
        // user nice system idle iowait irq softirq steal guest guest_nice
        {"ten columns", "cpu  9 9 9 9\ncpu0 1 2 3 4 5 6 7 8 9 10\nintr 1",
         V{{0, CPUTicks{1, 3 + 6 + 7 + 8, 4 + 5, 2}}}},
        {"four columns of an old kernel", "cpu3 10 20 30 40", V{{3, CPUTicks{10, 30, 40, 20}}}},
        {"extra future columns ignored", "cpu0 1 1 1 1 0 0 0 0 0 0 99 99",
         V{{0, CPUTicks{1, 1, 1, 1}}}},
        {"64-bit counters kept whole", "cpu0 4294967306 0 0 0",
         V{{0, CPUTicks{4294967306, 0, 0, 0}}}},
        {"no newline at the end", "cpu0 1 2 3 4\ncpu1 5 6 7 8",
         V{{0, {1, 3, 4, 2}}, {1, {5, 7, 8, 6}}}},
        {"three columns", "cpu0 1 2 3\n", std::nullopt},
        {"non-numeric column", "cpu0 1 2 -3 4\n", std::nullopt},
        {"same core twice", "cpu0 1 2 3 4\ncpu0 1 2 3 4\n", std::nullopt},
        {"core number beyond 32 bits", "cpu4294967296 1 2 3 4\n", std::nullopt},
        {"stops after the cpu lines", "cpu0 1 2 3 4\nintr 5\ncpu1 x\n", V{{0, {1, 3, 4, 2}}}},
    };
    for (const auto& [name, text, expected] : cases) {
        EXPECT_EQ(parseProcStat(text), expected) << name;
    }
}

} // namespace
} // namespace trovimo
