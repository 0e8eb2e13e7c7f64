#include "update/VersionComparison.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstdint>
#include <limits>
#include <vector>

namespace trovimo {
namespace {

struct OrderCase {
    const char* older;
    const char* newer;
};

// Each pair is strictly ordered: the first is older, never the other way round.
class VersionOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(VersionOrder, FirstIsOlderAndNotTheReverse) {
    const QString older = QString::fromUtf8(GetParam().older);
    const QString newer = QString::fromUtf8(GetParam().newer);
    EXPECT_TRUE(isVersionOlderThan(older, newer)) << GetParam().older << " < " << GetParam().newer;
    EXPECT_FALSE(isVersionOlderThan(newer, older)) << GetParam().newer << " < " << GetParam().older;
}

INSTANTIATE_TEST_SUITE_P(Table, VersionOrder,
                         ::testing::Values(OrderCase{"1.9", "1.10"}, OrderCase{"2", "10"},
                                           OrderCase{"1.2.1", "1.3"}, OrderCase{"1.2.9", "1.3"},
                                           OrderCase{"", "0.0.1"}, OrderCase{"0", "0.0.1"},
                                           OrderCase{"-1", "0"}, OrderCase{"1.0b2", "1.0.1"},
                                           OrderCase{"1.2", "1.2.0.1"},
                                           OrderCase{"-9223372036854775808", "0"},
                                           OrderCase{"9223372036854775806", "9223372036854775807"},
                                           // Too large for 64 bits: counts as 0.
                                           OrderCase{"9223372036854775808", "1"},
                                           OrderCase{"-9223372036854775809", "1"}));

struct SameCase {
    const char* a;
    const char* b;
};

// Equal versions: neither is older than the other.
class VersionEquality : public ::testing::TestWithParam<SameCase> {};

TEST_P(VersionEquality, NeitherIsOlder) {
    const QString a = QString::fromUtf8(GetParam().a);
    const QString b = QString::fromUtf8(GetParam().b);
    EXPECT_FALSE(isVersionOlderThan(a, b)) << GetParam().a << " vs " << GetParam().b;
    EXPECT_FALSE(isVersionOlderThan(b, a)) << GetParam().b << " vs " << GetParam().a;
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionEquality,
    ::testing::Values(SameCase{"1.2", "1.2.0"}, SameCase{"1.0b2", "1.0"}, SameCase{"1.0b2", "1"},
                      SameCase{"", "0"}, SameCase{"1..2", "1.2"}, SameCase{".5", "5"},
                      SameCase{"5.", "5"}, SameCase{"+3", "3"}, SameCase{"007", "7"},
                      SameCase{"1.x", "1.0"}, SameCase{"99999999999999999999", "0"},
                      SameCase{"1. 2", "1.0"}, SameCase{"1.2 ", "1.0"}, SameCase{"+", "0"},
                      SameCase{"-", "0"}, SameCase{"+-3", "0"}, SameCase{"0b2", "0"},
                      SameCase{"b2", "0"}, SameCase{"１.２", "0"}, SameCase{"-0", "0"},
                      SameCase{"...", ""}));

TEST(VersionComponents, SplitsDropsEmptyPiecesAndZeroesWhatIsNotANumber) {
    using List = std::vector<std::int64_t>;
    EXPECT_EQ(versionComponents(u""), List{});
    EXPECT_EQ(versionComponents(u"1..2"), (List{1, 2}));
    EXPECT_EQ(versionComponents(u".1.4.2."), (List{1, 4, 2}));
    EXPECT_EQ(versionComponents(u"1.0b2"), (List{1, 0}));
    EXPECT_EQ(versionComponents(u"-3.+4.x"), (List{-3, 4, 0}));
    EXPECT_EQ(
        versionComponents(u"9223372036854775807.-9223372036854775808"),
        (List{std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}));
}

} // namespace
} // namespace trovimo
