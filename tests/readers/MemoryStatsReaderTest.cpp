#include "readers/MemoryStatsReader.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace trovimo {
namespace {

using test::ScratchProcTree;

constexpr std::uint64_t KiB = 1024;

std::optional<MemoryStats> readFixture(const std::string& fixture) {
    ScratchProcTree tree;
    tree.install(fixture);
    return MemoryStatsReader(tree.root()).read();
}

// Used is MemTotal - MemAvailable to the byte, as free and the desktops' monitors count it;
// wired is what is left of it once the applications' and the compressed memory are taken out.
TEST(MemoryStatsReader, CapturedMachinesAgreeWithFree) {
    struct Case {
        const char* fixture;
        std::uint64_t totalKiB, availableKiB, appKiB;
        std::uint64_t compressed; // bytes
        std::uint64_t swapUsedKiB;
        std::optional<MemoryPressure> pressure;
    };
    const Case cases[] = {
        {"memory/vm-zram-idle", 24683772, 23510764, 224 + 808596, 0, 0, MemoryPressure::normal},
        // Both zram devices' mem_used_total: compressed, not wired.
        {"memory/zram-swap", 16000000, 5000000, 7000000, 545259520 + 272629760, 2000000,
         MemoryPressure::warning},
        {"memory/kernel-4.19", 8000000, 4000000, 2000000, 0, 0, std::nullopt},
        {"memory/zfs-arc", 32000000, 20000000, 4000000, 0, 0, MemoryPressure::critical},
    };
    for (const Case& c : cases) {
        const auto stats = readFixture(c.fixture);
        ASSERT_TRUE(stats) << c.fixture;
        EXPECT_EQ(stats->total, c.totalKiB * KiB) << c.fixture;
        EXPECT_EQ(stats->used, (c.totalKiB - c.availableKiB) * KiB) << c.fixture;
        EXPECT_EQ(stats->app, c.appKiB * KiB) << c.fixture;
        EXPECT_EQ(stats->compressed, c.compressed) << c.fixture;
        EXPECT_EQ(stats->wired, stats->used - stats->app - stats->compressed) << c.fixture;
        EXPECT_EQ(stats->swapUsed, c.swapUsedKiB * KiB) << c.fixture;
        EXPECT_EQ(stats->pressure, c.pressure) << c.fixture;
    }
}

// Kernels before 3.14 print no MemAvailable: wired is then what lies on no LRU list and is
// neither free, reclaimable nor compressed, the unevictable pages added; an ARC is a cache.
TEST(MemoryStatsReader, WithoutMemAvailableWiredIsWhatIsOnNoList) {
    ScratchProcTree tree;
    tree.install("memory/zfs-arc");
    std::ifstream captured(test::fixturePath("memory/zfs-arc/proc/meminfo"));
    std::string meminfo(std::istreambuf_iterator<char>(captured), {});
    const auto line = meminfo.find("MemAvailable");
    meminfo.erase(line, meminfo.find('\n', line) + 1 - line);
    tree.write("proc/meminfo", meminfo);
    const auto stats = MemoryStatsReader(tree.root()).read();
    ASSERT_TRUE(stats);
    // 32000000 - 4000000 free - 7000000 on the lists - 500000 reclaimable, less the ARC.
    EXPECT_EQ(stats->wired, (20500000 - 12288000) * KiB);
    EXPECT_EQ(stats->used, (4000000 + 20500000 - 12288000) * KiB);

    // More on the lists than there is (a meminfo taken between two updates): wired stays 0.
    MeminfoFigures figures;
    figures.memTotal = 1000;
    figures.memFree = 600;
    figures.active = 300;
    figures.inactive = 300;
    figures.unevictable = 10;
    EXPECT_EQ(memoryStatsFrom(figures, 0, 5000, std::nullopt).used, 10u);
    // ...and with MemAvailable, the same when app and compressed exceed what is in use.
    figures.memAvailable = 900;
    figures.activeAnon = 150;
    EXPECT_EQ(memoryStatsFrom(figures, 0, std::nullopt, std::nullopt).wired, 0u);
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

TEST(ParseMeminfo, MissingLinesCountZeroAndBrokenOnesSpoilTheSample) {
    const auto minimal = parseMeminfo("MemTotal: 1 kB\n");
    ASSERT_TRUE(minimal);
    EXPECT_EQ(minimal->memTotal, 1024u);
    EXPECT_EQ(minimal->zswap, 0u);
    EXPECT_FALSE(minimal->kReclaimable);

    const char* broken[] = {
        "MemFree: 10 kB\n",                    // no MemTotal
        "MemTotal: 0 kB\n",                    // no memory at all
        "MemTotal: 10\n",                      // no unit
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
    using Case = std::pair<const char*, std::optional<MemoryPressure>>;
    const Case cases[] = {
        {"some avg10=0.00 avg60=0.00 avg300=0.00 total=0\n"
         "full avg10=0.00 avg60=0.00 avg300=0.00 total=0\n",
         MemoryPressure::normal},
        {"some avg10=10.00 avg60=0 avg300=0 total=0\nfull avg10=9.99 avg60=0 avg300=0 total=0\n",
         MemoryPressure::warning},
        {"some avg10=10.00 avg60=0 avg300=0 total=0\nfull avg10=10.00 avg60=0 avg300=0 total=0\n",
         MemoryPressure::critical},
        // Kernels before 5.13 printed no full line for some resources.
        {"some avg10=50.00 avg60=0 avg300=0 total=0\n", MemoryPressure::warning},
        {"", std::nullopt},
        {"full avg10=50.00 avg60=0 avg300=0 total=0\n", std::nullopt},
        {"some avg10=oops avg60=0 avg300=0 total=0\n", std::nullopt},
        {"some avg10=nan avg60=0 avg300=0 total=0\n", std::nullopt},
        {"some avg10=100.01 avg60=0 avg300=0 total=0\n", std::nullopt},
        {"some avg60=1.00 avg10=1.00\n", std::nullopt},
        {"most avg10=1.00\n", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseMemoryPressure(text), expected) << text;
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

} // namespace
} // namespace trovimo
