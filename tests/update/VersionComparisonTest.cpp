#include "update/VersionComparison.h"

#include <gtest/gtest.h>

#include <QString>

namespace trovimo {
namespace {

using Pair = std::pair<const char*, const char*>;

// Each pair is strictly ordered: the first is older, never the other way round. Numbers too
// large for 64 bits count as 0.
TEST(VersionComparison, FirstIsOlderAndNotTheReverse) {
    const Pair pairs[] = {Pair{"1.9", "1.10"},
                          Pair{"2", "10"},
                          Pair{"1.2.1", "1.3"},
                          Pair{"1.2.9", "1.3"},
                          Pair{"", "0.0.1"},
                          Pair{"0", "0.0.1"},
                          Pair{"-1", "0"},
                          Pair{"1.0b2", "1.0.1"},
                          Pair{"1.2", "1.2.0.1"},
                          Pair{"-9223372036854775808", "0"},
                          Pair{"9223372036854775806", "9223372036854775807"},
                          Pair{"9223372036854775808", "1"},
                          Pair{"-9223372036854775809", "1"}};
    for (const auto& [older, newer] : pairs) {
        EXPECT_TRUE(isVersionOlderThan(QString::fromUtf8(older), QString::fromUtf8(newer)))
            << older << " < " << newer;
        EXPECT_FALSE(isVersionOlderThan(QString::fromUtf8(newer), QString::fromUtf8(older)))
            << newer << " < " << older;
    }
}

// Equal versions: neither is older than the other.
TEST(VersionComparison, NeitherOfEqualVersionsIsOlder) {
    const Pair pairs[] = {Pair{"1.2", "1.2.0"},
                          Pair{"1.0b2", "1.0"},
                          Pair{"1.0b2", "1"},
                          Pair{"", "0"},
                          Pair{"1..2", "1.2"},
                          Pair{".5", "5"},
                          Pair{"5.", "5"},
                          Pair{"+3", "3"},
                          Pair{"007", "7"},
                          Pair{"1.x", "1.0"},
                          Pair{"99999999999999999999", "0"},
                          Pair{"1. 2", "1.0"},
                          Pair{"1.2 ", "1.0"},
                          Pair{"+", "0"},
                          Pair{"-", "0"},
                          Pair{"+-3", "0"},
                          Pair{"0b2", "0"},
                          Pair{"b2", "0"},
                          Pair{"１.２", "0"},
                          Pair{"-0", "0"},
                          Pair{"...", ""}};
    for (const auto& [a, b] : pairs) {
        EXPECT_FALSE(isVersionOlderThan(QString::fromUtf8(a), QString::fromUtf8(b))) << a << b;
        EXPECT_FALSE(isVersionOlderThan(QString::fromUtf8(b), QString::fromUtf8(a))) << b << a;
    }
}

} // namespace
} // namespace trovimo
