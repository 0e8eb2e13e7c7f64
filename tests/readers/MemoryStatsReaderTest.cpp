#include "readers/MemoryStatsReader.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace trovimo {
namespace {

using test::ScratchProcTree;

constexpr std::uint64_t KiB = 1024;

std::optional<MemoryStats> readFixture(const std::string& fixture) {
    ScratchProcTree tree;
    tree.install(fixture);
    return MemoryStatsReader(tree.root()).read();
}

TEST(MemoryStatsReader, CapturedMachineAddsUp) {
    const auto stats = readFixture("memory/vm-zram-idle");
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->total, 24683772 * KiB);
    EXPECT_EQ(stats->app, (224 + 808596) * KiB);
    // 24683772 - 22777244 free - 413200 active - 1297340 inactive - 18692 unevictable -
    // 82048 reclaimable kernel memory, plus the 18692 unevictable.
    EXPECT_EQ(stats->wired, (95248 + 18692) * KiB);
    EXPECT_EQ(stats->compressed, 0u); // zram0 is there but holds nothing
    EXPECT_EQ(stats->used, stats->app + stats->wired + stats->compressed);
    EXPECT_EQ(stats->swapTotal, 0u);
    EXPECT_EQ(stats->swapUsed, 0u);
    EXPECT_EQ(stats->pressure, MemoryPressure::normal);
}

TEST(MemoryStatsReader, CountsEveryZramDeviceAsCompressedAndNotAsWired) {
    const auto stats = readFixture("memory/zram-swap");
    ASSERT_TRUE(stats);
    const std::uint64_t zram = 545259520 + 272629760; // mem_used_total of zram0 and zram1
    EXPECT_EQ(stats->compressed, zram);
    EXPECT_EQ(stats->app, 7000000 * KiB);
    EXPECT_EQ(stats->wired, (100000 + 2701280) * KiB);
    EXPECT_EQ(stats->used, 10600000 * KiB);
    EXPECT_EQ(stats->total, 16000000 * KiB);
    EXPECT_EQ(stats->swapTotal, 8000000 * KiB);
    EXPECT_EQ(stats->swapUsed, 2000000 * KiB);
    EXPECT_EQ(stats->pressure, MemoryPressure::warning);
}

TEST(MemoryStatsReader, OldKernelWithoutZswapKReclaimableOrPressure) {
    const auto stats = readFixture("memory/kernel-4.19");
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->compressed, 0u);
    // SReclaimable stands in for the missing KReclaimable.
    EXPECT_EQ(stats->wired, 750000 * KiB);
    EXPECT_EQ(stats->used, 2750000 * KiB);
    EXPECT_EQ(stats->swapUsed, 0u);
    EXPECT_EQ(stats->swapTotal, 2000000 * KiB);
    EXPECT_FALSE(stats->pressure);
}

// Devices are looked for every few reads; a device that goes away is not read again.
TEST(MemoryStatsReader, ZramDevicesAreFoundWithinTheRescanAndDroppedWhenGone) {
    ScratchProcTree tree;
    tree.install("memory/zram-swap");
    const std::string zram1 = "sys/block/zram1/mm_stat";
    const std::string zram1Text = "1073741824 268435456 272629760 0 272629760 0 0 0 0\n";
    tree.remove(zram1);
    MemoryStatsReader reader(tree.root());
    EXPECT_EQ(reader.read()->compressed, 545259520u) << "zram0 only";

    tree.write(zram1, zram1Text);
    int reads = 0;
    while (reader.read()->compressed == 545259520u && reads < MemoryStatsReader::rescanInterval) {
        ++reads;
    }
    EXPECT_LT(reads, MemoryStatsReader::rescanInterval) << "zram1 found at the rescan";
    EXPECT_EQ(reader.read()->compressed, 545259520u + 272629760u);

    tree.remove(zram1);
    EXPECT_EQ(reader.read()->compressed, 545259520u) << "gone at once";
    EXPECT_EQ(reader.read()->compressed, 545259520u);
}

TEST(MemoryStatsReader, ZfsArcIsACacheNotWiredMemory) {
    const auto stats = readFixture("memory/zfs-arc");
    ASSERT_TRUE(stats);
    // 20.5 GB outside the LRU lists, 12 GB of them the ARC.
    EXPECT_EQ(stats->wired, (20500000 - 12288000) * KiB);
    EXPECT_EQ(stats->used, (4000000 + 20500000 - 12288000) * KiB);
    EXPECT_EQ(stats->pressure, MemoryPressure::critical);
}

TEST(MemoryStatsReader, BrokenMeminfoIsAbsentButBrokenPressureOnlyLosesThePressure) {
    EXPECT_FALSE(readFixture("memory/garbled"));

    ScratchProcTree tree;
    tree.install("memory/vm-zram-idle");
    tree.install("memory/garbled");
    tree.install("memory/kernel-4.19");
    const auto stats = MemoryStatsReader(tree.root()).read();
    ASSERT_TRUE(stats);
    EXPECT_FALSE(stats->pressure);
    EXPECT_EQ(stats->total, 8000000 * KiB);

    tree.remove("proc/meminfo");
    EXPECT_FALSE(MemoryStatsReader(tree.root()).read());
}

TEST(MemoryStatsFrom, KernelShareNeverGoesBelowZero) {
    // A meminfo taken between two updates can list more on the LRU lists than there is.
    MeminfoFigures figures;
    figures.memTotal = 1000;
    figures.memFree = 600;
    figures.active = 300;
    figures.inactive = 300;
    figures.unevictable = 10;
    const auto stats = memoryStatsFrom(figures, 0, 5000, std::nullopt);
    EXPECT_EQ(stats.wired, 10u);
    EXPECT_EQ(stats.used, 10u);
}

TEST(ParseMeminfo, MissingLinesCountZeroAndBrokenOnesSpoilTheSample) {
    const auto minimal = parseMeminfo("MemTotal: 1 kB\n");
    ASSERT_TRUE(minimal);
    EXPECT_EQ(minimal->memTotal, 1024u);
    EXPECT_EQ(minimal->zswap, 0u);
    EXPECT_FALSE(minimal->kReclaimable);

    const char* broken[] = {
        "",
        "MemFree: 10 kB\n",                    // no MemTotal
        "MemTotal: 0 kB\n",                    // no memory at all
        "MemTotal: 10\n",                      // no unit
        "MemTotal: 10 MB\n",                   // a unit the kernel does not write
        "MemTotal: 10 kB\nActive: -5 kB\n",    // negative
        "MemTotal: 18014398509481984 kB\n",    // bytes beyond 64 bits
        "MemTotal: 10 kB\nSwapFree: 1e3 kB\n", // not decimal
    };
    for (const char* text : broken) {
        EXPECT_FALSE(parseMeminfo(text)) << text;
    }
    // Lines we do not use may hold anything.
    EXPECT_TRUE(parseMeminfo("MemTotal: 10 kB\nHugePages_Total: 0\nWeird line\nFoo: bar\n"));
}

TEST(ParseMemoryPressure, LevelsAtTheirBoundaries) {
    struct Case {
        const char* text;
        std::optional<MemoryPressure> expected;
    };
    const Case cases[] = {
        {"some avg10=0.00 avg60=0.00 avg300=0.00 total=0\n"
         "full avg10=0.00 avg60=0.00 avg300=0.00 total=0\n",
         MemoryPressure::normal},
        {"some avg10=9.99 avg60=0 avg300=0 total=0\nfull avg10=9.99 avg60=0 avg300=0 total=0\n",
         MemoryPressure::normal},
        {"some avg10=10.00 avg60=0 avg300=0 total=0\nfull avg10=9.99 avg60=0 avg300=0 total=0\n",
         MemoryPressure::warning},
        {"some avg10=10.00 avg60=0 avg300=0 total=0\nfull avg10=10.00 avg60=0 avg300=0 total=0\n",
         MemoryPressure::critical},
        {"some avg10=100.00 avg60=0 avg300=0 total=0\nfull avg10=95.5 avg60=0 avg300=0 total=0",
         MemoryPressure::critical},
        // Kernels before 5.13 printed no full line for some resources.
        {"some avg10=50.00 avg60=0 avg300=0 total=0\n", MemoryPressure::warning},
        {"", std::nullopt},
        {"full avg10=50.00 avg60=0 avg300=0 total=0\n", std::nullopt},
        {"some avg10=oops avg60=0 avg300=0 total=0\n", std::nullopt},
        {"some avg10=nan avg60=0 avg300=0 total=0\n", std::nullopt},
        {"some avg10=-1.00 avg60=0 avg300=0 total=0\n", std::nullopt},
        {"some avg10=100.01 avg60=0 avg300=0 total=0\n", std::nullopt},
        {"some avg60=1.00 avg10=1.00\n", std::nullopt},
        {"some\n", std::nullopt},
        {"most avg10=1.00\n", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseMemoryPressure(c.text), c.expected) << c.text;
    }
}

TEST(ParseSmallMemoryFiles, ZramAndArcstats) {
    EXPECT_EQ(parseZramMemoryUsed("  4096  1024  8192  0  8192  0  0  0  0\n"), 8192u);
    EXPECT_FALSE(parseZramMemoryUsed("4096 1024\n"));
    EXPECT_FALSE(parseZramMemoryUsed("4096 1024 x\n"));
    EXPECT_EQ(parseArcSize("13 1 0x01\nname type data\nc 4 5\nsize 4 4096\n"), 4096u);
    EXPECT_FALSE(parseArcSize("13 1 0x01\nname type data\nc_max 4 5\n"));
    EXPECT_FALSE(parseArcSize("size 4\n"));
}

// Files and folders held open between reads: the second read of this machine opens
// nothing new, and neither does the hundredth.
TEST(MemoryStatsReader, RepeatedReadsOfTheSystemHoldAFixedSetOfFiles) {
    const auto openDescriptors = [] {
        const std::filesystem::directory_iterator fds("/proc/self/fd");
        return std::distance(begin(fds), end(fds));
    };
    MemoryStatsReader reader("/");
    ASSERT_TRUE(reader.read());
    const auto held = openDescriptors();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(reader.read());
    }
    EXPECT_EQ(openDescriptors(), held);
}

} // namespace
} // namespace trovimo
