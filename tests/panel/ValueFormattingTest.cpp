#include "panel/ValueFormatting.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

using namespace trovimo;

namespace {

struct ByteCase {
    std::int64_t bytes;
    const char* longForm;
    const char* compactForm;
};

const ByteCase byteCases[] = {
    {0, "0 B", "0B"},
    {-5, "0 B", "0B"},
    {999, "999 B", "999B"},
    {1000, "1.0 KB", "1.0K"},
    {1536, "1.5 KB", "1.5K"},
    {9999, "10.0 KB", "10.0K"},
    {99949, "99.9 KB", "100K"},
    {99950, "100.0 KB", "100K"},
    {100000, "100 KB", "100K"},
    {999500, "1000 KB", "1000K"},
    {1000000, "1.0 MB", "1.0M"},
    {1234567890, "1.2 GB", "1.2G"},
    {8000000000, "8.0 GB", "8.0G"},
    {16000000000, "16.0 GB", "16G"},
    {512000000000, "512 GB", "512G"},
    {std::numeric_limits<std::int64_t>::max(), "9223 PB", "9223P"},
    {std::numeric_limits<std::int64_t>::min(), "0 B", "0B"},
};

TEST(FormatBytes, MatchesTheTable) {
    for (const auto& c : byteCases) {
        EXPECT_EQ(formatBytes(c.bytes), c.longForm) << c.bytes;
        EXPECT_EQ(formatBytesCompact(c.bytes), c.compactForm) << c.bytes;
    }
}

TEST(FormatRate, RoundsHalvesAwayFromZeroBeforeScaling) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0 B/s"},          {0.4, "0 B/s"},       {0.5, "1 B/s"},
        {999.5, "1.0 KB/s"},     {1536.0, "1.5 KB/s"}, {10239.6, "10.2 KB/s"},
        {2500000.0, "2.5 MB/s"}, {-3.0, "0 B/s"},      {2.5, "3 B/s"},
    };
    for (const auto& [rate, text] : cases) {
        EXPECT_EQ(formatRate(rate), text) << rate;
    }
}

TEST(FormatRate, NonFiniteOrHugeRatesShowNothingMoving) {
    for (double rate : {std::nan(""), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity(), 1e19, -1e19, 9.3e18}) {
        EXPECT_EQ(formatRate(rate), "0 B/s") << rate;
    }
}

TEST(FormatBytes, DecimalMarkIsAFullStopInEveryLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "ja_JP.UTF-8", "C.UTF-8"}) {
        if (!std::setlocale(LC_NUMERIC, name)) {
            continue; // not generated on this machine
        }
        EXPECT_EQ(formatBytes(1536), "1.5 KB") << name;
        EXPECT_EQ(formatRate(2500000.0), "2.5 MB/s") << name;
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

} // namespace
