#include "panel/SectionTexts.h"
#include "panel/AnimationKey.h"
#include "panel/DiskLevel.h"
#include "panel/DiskSection.h"
#include "panel/MemorySection.h"
#include "panel/PercentFormat.h"
#include "panel/SelfSection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace trovimo;

namespace {

constexpr std::int64_t GB = 1000 * 1000 * 1000;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

TEST(PercentKey, RoundsHalvesAwayFromZeroAndNeverOverflows) {
    struct Case {
        double fraction;
        int digits;
        std::int64_t key;
    };
    const Case cases[] = {
        {0.452, 0, 45},
        {0.449, 0, 45},
        {0.47, 0, 47},
        {0.445, 0, 45},
        {0.0, 0, 0},
        {1.0, 0, 100},
        {-0.005, 0, -1},
        {0.0083, 1, 8},
        {0.0125, 1, 13},
        {0.0124, 1, 12},
        {nan, 0, 0},
        {infinity, 1, 0},
        {-infinity, 0, 0},
        {1e300, 0, std::numeric_limits<std::int64_t>::max()},
        {-1e300, 0, std::numeric_limits<std::int64_t>::min()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(percentKey(c.fraction, c.digits), c.key) << c.fraction << " digits " << c.digits;
    }
}

TEST(PercentText, FollowsTheLocalesShape) {
    struct Case {
        const char* locale;
        double fraction;
        int digits;
        const char* text;
    };
    const Case cases[] = {
        {"en_US", 0.452, 0, "45%"},       {"en_US", 0.0, 0, "0%"},
        {"en_US", 1.0, 0, "100%"},        {"ja_JP", 0.47, 0, "47%"},
        {"de_DE", 0.452, 0, "45\u00A0%"}, {"tr_TR", 0.452, 0, "%45"},
        {"en_US", 0.008, 1, "0.8%"},      {"en_US", 0.0, 1, "0.0%"},
        {"en_US", 12.345, 1, "1,234.5%"}, {"de_DE", 0.012, 1, "1,2\u00A0%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(percentText(c.fraction, c.digits, icu::Locale(c.locale)), c.text)
            << c.locale << " " << c.fraction;
    }
}

// The text is what the key says: a whole-percent text never changes without its key, and a
// fraction whose binary value sits just below a half (0.285 * 100 = 28.4999...) does not
// read 29 while its key stays 28.
TEST(PercentText, ChangesExactlyWithItsKey) {
    const icu::Locale english("en_US");
    for (int step = 0; step <= 2000; ++step) {
        const double fraction = step / 2000.0;
        EXPECT_EQ(percentText(fraction, 0, english), std::to_string(percentKey(fraction, 0)) + "%")
            << fraction;
    }
    EXPECT_EQ(percentText(0.285, 0, english), std::to_string(percentKey(0.285, 0)) + "%");
}

TEST(DiskLevel, FollowsUsedShareAndThreshold) {
    struct Case {
        std::optional<DiskUsage> disk;
        double threshold;
        CapacityLevel level;
    };
    const Case cases[] = {
        {DiskUsage{950 * GB, 1000 * GB, 0, 0}, 0.9, CapacityLevel::critical},
        {DiskUsage{900 * GB, 1000 * GB, 0, 0}, 0.9, CapacityLevel::critical},
        {DiskUsage{850 * GB, 1000 * GB, 0, 0}, 0.9, CapacityLevel::warning},
        {DiskUsage{800 * GB, 1000 * GB, 0, 0}, 0.9, CapacityLevel::warning},
        {DiskUsage{799 * GB, 1000 * GB, 0, 0}, 0.9, CapacityLevel::normal},
        {DiskUsage{850 * GB, 1000 * GB, 0, 0}, 0.85, CapacityLevel::critical},
        {DiskUsage{850 * GB, 1000 * GB, 0, 0}, 0.95, CapacityLevel::warning},
        {std::nullopt, 0.9, CapacityLevel::normal},
        {std::nullopt, 0.0, CapacityLevel::critical},
        {DiskUsage{500, 0, 0, 0}, 0.9, CapacityLevel::normal},
        // A negative total is corrupt; it must not turn negative used space into an alert.
        {DiskUsage{-950, -1000, 0, 0}, 0.9, CapacityLevel::normal},
        {DiskUsage{850 * GB, 1000 * GB, 0, 0}, nan, CapacityLevel::normal},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(diskLevel(diskUsedFraction(c.disk), c.threshold), c.level)
            << (c.disk ? c.disk->used : -1) << " at " << c.threshold;
    }
}

TEST(DiskLevel, DataShareAndRemainingSpaceSaturate) {
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(diskData({500 * GB, 1000 * GB, 40 * GB, 30 * GB}), 430 * GB);
    EXPECT_EQ(diskData({50 * GB, 1000 * GB, 40 * GB, 30 * GB}), 0);
    EXPECT_EQ(diskData({max, max, min, 0}), max);
    EXPECT_EQ(diskData({min, max, max, max}), 0);
    EXPECT_EQ(diskRemaining({950 * GB, 1000 * GB, 0, 0}), 50 * GB);
    EXPECT_EQ(diskRemaining({min, max, 0, 0}), max);
    EXPECT_EQ(diskRemaining({max, min, 0, 0}), min);
}

// The cases the panel's layouts do not reach: space gone negative, totals just under a
// unit, thresholds between whole percents, an unused or absent swap, counts past int64.
TEST(SectionTexts, EdgesOfTheDiskAndMemoryTexts) {
    EXPECT_EQ(texts::diskRemainingText({1100 * GB, 1000 * GB, 0, 0}), "残り 0 B");
    EXPECT_EQ(texts::diskUsageText({412 * GB, 994 * GB, 0, 0}), "412 GB / 994 GB 使用中");
    EXPECT_EQ(texts::diskAlertText(0.875), "使用率がしきい値（88%）を超えています");
    MemoryStats memory;
    memory.total = 16 * GB;
    EXPECT_EQ(texts::swapText(memory), std::nullopt);
    memory.swapTotal = 2'100'000'000;
    EXPECT_EQ(texts::swapText(memory), "スワップ 0B/2.1G");
    EXPECT_EQ(texts::toSignedBytes(std::numeric_limits<std::uint64_t>::max()),
              std::numeric_limits<std::int64_t>::max());
}

TEST(SectionTexts, SelfLoad) {
    EXPECT_EQ(texts::selfLoadText({0.008, 41'200'000}, icu::Locale("en_US")), "CPU 0.8%・41.2 MB");
    EXPECT_EQ(texts::selfLoadText({0.012, 45'300'000}, icu::Locale("ja_JP")), "CPU 1.2%・45.3 MB");
    EXPECT_EQ(texts::selfLoadText({0.012, 45'300'000}, icu::Locale("de_DE")),
              "CPU 1,2\u00A0%・45.3 MB");
}

TEST(SectionTexts, RateScaleNeverDropsBelowTenKibibytes) {
    struct Case {
        std::vector<double> history;
        double scale;
    };
    const Case cases[] = {
        {{}, 10240.0},
        {{5000.0}, 10240.0},
        {{5000.0, 2'000'000.0, 10.0}, 2'000'000.0},
        {{nan, infinity, 20'000.0}, 20'000.0},
        {{-1e9}, 10240.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(texts::rateScale(c.history), c.scale);
    }
}

} // namespace
