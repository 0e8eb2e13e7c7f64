#include "readers/NetworkStatsReader.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

#include <string>

namespace trovimo {
namespace {

using namespace std::chrono_literals;
using test::ScratchProcTree;
using Clock = BoottimeClock;

const std::string netDevHeader =
    "Inter-|   Receive                                                |  Transmit\n"
    " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs "
    "drop fifo colls carrier compressed\n";

std::string netDevLine(const std::string& name, std::uint64_t rx, std::uint64_t tx) {
    return name + ": " + std::to_string(rx) + " 10 0 0 0 0 0 0 " + std::to_string(tx) +
           " 20 0 0 0 0 0 0\n";
}

TEST(ParseNetDevLine, SplitsAtTheLastColonAndRejectsMalformedLines) {
    const std::pair<const char*, NetDevCounters> good[] = {
        {"enp3s0: 10000000000 7000000    0    0    0     0          0      1200 2000000000 "
         "3000000    0    0    0     0       0          0",
         {"enp3s0", 10000000000U, 2000000000U}}, // beyond 32 bits: no wrap at 4 GiB
        // Wide counters run into the name's colon; names may hold a colon themselves.
        {"  eth0:123 1 0 0 0 0 0 0 456 2 0 0 0 0 0 0", {"eth0", 123, 456}},
        {"vpn:a: 5 1 0 0 0 0 0 0 6 2 0 0 0 0 0 0", {"vpn:a", 5, 6}},
    };
    for (const auto& [text, expected] : good) {
        const auto line = parseNetDevLine(text);
        ASSERT_TRUE(line) << text;
        EXPECT_EQ(line->name, expected.name);
        EXPECT_EQ(line->rxBytes, expected.rxBytes) << text;
        EXPECT_EQ(line->txBytes, expected.txBytes) << text;
    }
    for (const char* bad : {
             "Inter-|   Receive                                                |  Transmit",
             " face |bytes    packets errs drop fifo frame compressed multicast|bytes", "",
             "eth0:", ": 1 2 3 4 5 6 7 8 9",
             "eth0: 1 2 3 4 5 6 7",                           // no transmit columns
             "eth0: 1 2 3 4 x 6 7 8 9 10",                    // not a number
             "eth0: -1 2 3 4 5 6 7 8 9 10",                   // negative
             "../../x: 1 2 3 4 5 6 7 8 9 10",                 // would leave /sys/class/net
             "eth0: 99999999999999999999999 2 3 4 5 6 7 8 9", // beyond 64 bits
         }) {
        EXPECT_FALSE(parseNetDevLine(bad)) << bad;
    }
}

TEST(NetworkStatsReader, SumsTheUpWiredInterfacesOfTheCapturedWorkstation) {
    // enp3s0 and enp4s0 are up; enx... is down; wlp2s0 and lo do not match "en*".
    NetworkStatsReader reader(test::fixturePath("network/workstation"));
    const auto counters = reader.readCounters(std::nullopt);
    ASSERT_TRUE(counters);
    EXPECT_EQ(counters->rx, 10000000000U + 300000U);
    EXPECT_EQ(counters->tx, 2000000000U + 40000U);

    const auto wifi = reader.readCounters(std::string("wlp2s0"));
    ASSERT_TRUE(wifi);
    EXPECT_EQ(wifi->rx, 123456789U);
    // Loopback never counts, a down or unknown interface counts 0 (not absent).
    for (const char* name : {"lo", "enx00e04c680001", "nonexistent"}) {
        const auto none = reader.readCounters(std::string(name));
        ASSERT_TRUE(none) << name;
        EXPECT_EQ(none->rx + none->tx, 0U) << name;
    }
}

class NetworkStatsSequence : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"en0", "en1", "lo"}) {
            tree.write(std::string("sys/class/net/") + name + "/flags",
                       std::string(name) == "lo" ? "0x9\n" : "0x1003\n");
        }
    }
    void counters(std::uint64_t en0Rx, std::uint64_t en0Tx, std::uint64_t en1Rx = 0,
                  std::uint64_t en1Tx = 0) {
        tree.write("proc/net/dev", netDevHeader + netDevLine("lo", 999, 999) +
                                       netDevLine("en0", en0Rx, en0Tx) +
                                       netDevLine("en1", en1Rx, en1Tx));
    }
    ScratchProcTree tree;
    const Clock::time_point start = Clock::time_point(1'700'000'000s);
};

TEST_F(NetworkStatsSequence, RatesFollowTheCountersAndTheMeasuredTime) {
    NetworkStatsReader reader(tree.root());
    const std::optional<std::string> en0("en0");

    counters(5'000'000, 70'000);
    EXPECT_FALSE(reader.read(start, en0)) << "the first read has nothing to compare with";

    counters(6'000'000, 80'000);
    EXPECT_EQ(reader.read(start + 1s, en0), (NetworkSpeed{1'000'000, 10'000}));

    // Rates divide by the elapsed time, not by a nominal interval.
    counters(7'000'000, 80'000);
    EXPECT_EQ(reader.read(start + 3s, en0), (NetworkSpeed{500'000, 0}))
        << "unchanged counters give a present zero";

    // Received counter lower (interface recreated), sent higher: only download is 0.
    counters(100, 90'000);
    EXPECT_EQ(reader.read(start + 4s, en0), (NetworkSpeed{0, 10'000}));
    counters(1'100, 90'000);
    EXPECT_EQ(reader.read(start + 5s, en0), (NetworkSpeed{1'000, 0}))
        << "the next sample starts from the lower value";

    // The same time twice, or a clock set back: a present sample of zeros.
    counters(9'999'999, 99'999);
    EXPECT_EQ(reader.read(start + 5s, en0), (NetworkSpeed{0, 0}));
    EXPECT_EQ(reader.read(start + 2s, en0), (NetworkSpeed{0, 0}));
}

TEST_F(NetworkStatsSequence, ChangingTheSelectionCostsOneAbsentSample) {
    NetworkStatsReader reader(tree.root());
    counters(1'000, 1'000, 5'000, 5'000);
    EXPECT_FALSE(reader.read(start, std::string("en0")));
    counters(2'000, 2'000, 6'000, 6'000);
    EXPECT_TRUE(reader.read(start + 1s, std::string("en0")));
    counters(3'000, 3'000, 7'000, 7'000);
    EXPECT_FALSE(reader.read(start + 2s, std::string("en1"))) << "switched from en0 to en1";
    counters(4'000, 4'000, 9'000, 8'000);
    EXPECT_EQ(reader.read(start + 3s, std::string("en1")), (NetworkSpeed{2'000, 1'000}));
    // No name: the sum over "en*", a selection of its own.
    EXPECT_FALSE(reader.read(start + 4s, std::nullopt));
    counters(4'500, 4'000, 9'500, 8'000);
    EXPECT_EQ(reader.read(start + 5s, std::nullopt), (NetworkSpeed{1'000, 0}));
}

TEST_F(NetworkStatsSequence, UnreadableCountersKeepThePreviousReading) {
    NetworkStatsReader reader(tree.root());
    counters(1'000, 1'000);
    EXPECT_FALSE(reader.read(start, std::string("en0")));
    tree.remove("proc/net/dev");
    EXPECT_FALSE(reader.read(start + 1s, std::string("en0")));
    counters(3'000, 1'000);
    EXPECT_EQ(reader.read(start + 2s, std::string("en0")), (NetworkSpeed{1'000, 0}))
        << "the rate spans both seconds since the last good reading";
}

TEST_F(NetworkStatsSequence, AnInterfaceThatGoesDownLeavesTheSum) {
    NetworkStatsReader reader(tree.root());
    counters(1'000, 1'000, 5'000, 5'000);
    EXPECT_FALSE(reader.read(start, std::nullopt));
    tree.write("sys/class/net/en1/flags", "0x1002\n");
    counters(2'000, 2'000, 6'000, 6'000);
    EXPECT_EQ(reader.read(start + 1s, std::nullopt), (NetworkSpeed{0, 0}))
        << "the sum went backwards: zero this once";
    tree.remove("sys/class/net/en0");
    counters(3'000, 3'000, 7'000, 7'000);
    EXPECT_EQ(reader.read(start + 2s, std::nullopt), (NetworkSpeed{0, 0}))
        << "vanished between /proc/net/dev and its flags file";
}

} // namespace
} // namespace trovimo
