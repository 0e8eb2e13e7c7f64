#include "update/VersionComparison.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace trovimo {
namespace {

// Each pair "older|newer" is strictly ordered, never the other way round. Numbers too large for
// 64 bits count as 0.
TEST(VersionComparison, FirstIsOlderAndNotTheReverse) {
    for (const char* pair :
         {"1.9|1.10", "2|10", "1.2.1|1.3", "1.2.9|1.3", "|0.0.1", "0|0.0.1", "-1|0", "1.0b2|1.0.1",
          "1.2|1.2.0.1", "-9223372036854775808|0", "9223372036854775806|9223372036854775807",
          "9223372036854775808|1", "-9223372036854775809|1"}) {
        const QStringList versions = QString::fromUtf8(pair).split(u'|');
        EXPECT_TRUE(isVersionOlderThan(versions[0], versions[1])) << pair;
        EXPECT_FALSE(isVersionOlderThan(versions[1], versions[0])) << pair;
    }
}

// Equal versions: neither is older than the other. What is not a number counts as 0, and so
// does a number too large for 64 bits; full-width digits are no digits.
TEST(VersionComparison, NeitherOfEqualVersionsIsOlder) {
    const auto neitherOlder = [](const char* pair) {
        const QStringList versions = QString::fromUtf8(pair).split(u'|');
        EXPECT_FALSE(isVersionOlderThan(versions[0], versions[1])) << pair;
        EXPECT_FALSE(isVersionOlderThan(versions[1], versions[0])) << pair;
    };
    for (const char* pair : {"1.2|1.2.0", "1.0b2|1.0", "1.0b2|1", "|0", "1..2|1.2", ".5|5", "5.|5",
                             "+3|3", "007|7", "1.x|1.0", "99999999999999999999|0"}) {
        neitherOlder(pair);
    }
    for (const char* pair : {"1. 2|1.0", "1.2 |1.0", "+|0", "-|0", "+-3|0", "0b2|0", "b2|0",
                             "１.２|0", "-0|0", "...|"}) {
        neitherOlder(pair);
    }
}

} // namespace
} // namespace trovimo
