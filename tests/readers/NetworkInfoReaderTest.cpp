#include "readers/NetworkInfoReader.h"
#include "readers/RouteQuery.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace trovimo {
namespace {

using namespace std::chrono_literals;
using test::ScratchProcTree;
using Clock = BoottimeClock;

TEST(InterfaceDisplayName, NamesTheLinkKindsAsNetworkManagerDoes) {
    const std::string root = test::fixturePath("network/kinds");
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"wlp2s0", "Wi-Fi"},        // phy80211 link
        {"wlan1", "Wi-Fi"},         // DEVTYPE only
        {"enp3s0", "イーサネット"}, // type 1 with a device behind it
        {"br0", "ブリッジ"},
        {"bond0", "ボンド"},
        {"enp3s0.10", "VLAN"},
        {"wg0", "VPN"},
        {"tun0", "VPN"},
        {"ppp0", "VPN"},
        {"bnep0", "Bluetooth"},
        {"wwan0", "モバイルブロードバンド"},
        {"veth1", std::nullopt}, // type 1, but no hardware: not Ethernet
        {"lo", std::nullopt},
        {"missing0", std::nullopt},
        {"", std::nullopt},
        {"..", std::nullopt}, // names never leave /sys/class/net
        {"../../../../etc", std::nullopt},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(interfaceDisplayName(root, name), expected) << name;
    }
}

TEST(ParseDefaultRoute, PicksTheUsableDefaultWithTheLowestMetric) {
    const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask"
                               "\t\tMTU\tWindow\tIRTT\n";
    const auto route = [](const char* iface, const char* destination, const char* flags,
                          const char* metric, const char* mask) {
        return std::string(iface) + "\t" + destination + "\t0100A8C0\t" + flags + "\t0\t0\t" +
               metric + "\t" + mask + "\t0\t0\t0   \n";
    };
    const std::pair<std::string, std::optional<std::string_view>> cases[] = {
        {header + route("eth0", "00000000", "0003", "0", "00000000"), "eth0"},
        {header + route("wlan0", "00000000", "0003", "600", "00000000") +
             route("eth0", "00000000", "0003", "100", "00000000"),
         "eth0"},
        {header + route("a0", "00000000", "0003", "5", "00000000") +
             route("b0", "00000000", "0003", "5", "00000000"),
         "a0"}, // first on a tie
        {header + route("eth0", "0001A8C0", "0001", "0", "00FFFFFF"), std::nullopt},
        {header + route("eth0", "00000000", "0002", "0", "00000000"), std::nullopt}, // not up
        {header + route("eth0", "00000000", "0201", "0", "00000000") +
             route("eth1", "00000000", "0001", "900", "00000000"),
         "eth1"}, // reject route skipped
        {header + route("eth0", "00000000", "0003", "0", "FF000000"), std::nullopt},
        {header, std::nullopt},
        {"", std::nullopt},
        {header + "eth0\t00000000\tzz\n", std::nullopt},
        {header + route("eth0", "0000000G", "0003", "0", "00000000"), std::nullopt},
    };
    for (const auto& [table, expected] : cases) {
        EXPECT_EQ(parseDefaultRoute(table), expected) << table;
    }
    std::ifstream captured(test::fixturePath("network/container/proc/net/route"));
    const std::string text(std::istreambuf_iterator<char>(captured), {});
    EXPECT_EQ(parseDefaultRoute(text), "eth0");
}

// The reader on a captured /sys tree, the route table in a scratch /proc, a clock and a Wi-Fi
// lookup under the test's control.
class NetworkInfoCache : public ::testing::Test {
protected:
    void SetUp() override {
        tree.install("network/kinds");
        useDefaultRoute("wlp2s0");
    }
    void useDefaultRoute(const std::string& name) {
        tree.write("proc/net/route",
                   "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\t"
                   "Window\tIRTT\n" +
                       name + "\t00000000\t0100A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n");
    }
    NetworkInfoReader makeReader() {
        return NetworkInfoReader(
            tree.root(), NetworkInfoReader::RouteSource::routeTable,
            [this](const std::string& name) -> std::optional<WifiDetails> {
                ++wifiLookups;
                lastLookup = name;
                return wifi;
            },
            [this] { return now; });
    }
    static NetworkInfo info(std::string name, std::string display,
                            std::optional<std::string> ssid = std::nullopt,
                            std::optional<std::string> generation = std::nullopt) {
        return NetworkInfo{std::move(name), std::move(display), std::move(ssid),
                           std::move(generation)};
    }

    ScratchProcTree tree;
    Clock::time_point now = Clock::time_point(1'700'000'000s);
    std::optional<WifiDetails> wifi = WifiDetails{"Home", 6};
    int wifiLookups = 0;
    std::string lastLookup;
};

TEST_F(NetworkInfoCache, WifiPrimaryGetsNetworkAndGeneration) {
    const std::pair<std::optional<int>, std::optional<std::string>> cases[] = {
        {6, "Wi-Fi 6"},
        {4, "Wi-Fi 4"},
        {std::nullopt, std::nullopt}, // legacy rates: 802.11a/b/g
        {7, std::nullopt},            // the panel names no later generation
    };
    for (const auto& [generation, text] : cases) {
        wifi = WifiDetails{"Home", generation};
        EXPECT_EQ(makeReader().read(), info("wlp2s0", "Wi-Fi", "Home", text));
    }
    EXPECT_EQ(lastLookup, "wlp2s0");
    wifi.reset(); // nl80211 gave no answer
    EXPECT_EQ(makeReader().read(), info("wlp2s0", "Wi-Fi"));
}

TEST_F(NetworkInfoCache, WiredAndUnnamedInterfacesAskNoWifiQuestions) {
    useDefaultRoute("veth1");
    auto reader = makeReader();
    EXPECT_EQ(reader.read(), info("veth1", "veth1")) << "no display name: the kernel name";
    useDefaultRoute("enp3s0");
    now += 1s;
    EXPECT_EQ(reader.read(), info("enp3s0", "イーサネット"));
    EXPECT_EQ(wifiLookups, 0);
}

TEST_F(NetworkInfoCache, SameInterfaceWithinThirtySecondsAsksNothingANewOneRebuilds) {
    auto reader = makeReader();
    const auto first = reader.read();
    wifi = WifiDetails{"Office", 5};
    now += 10s;
    EXPECT_EQ(reader.read(), first) << "the network changed, but the answer is cached";
    now += 19s;
    EXPECT_EQ(reader.read(), first);
    EXPECT_EQ(wifiLookups, 1);
    now += 1s;
    EXPECT_EQ(reader.read(), info("wlp2s0", "Wi-Fi", "Office", "Wi-Fi 5")) << "30 s are up";
    EXPECT_EQ(wifiLookups, 2);
    useDefaultRoute("enp3s0");
    now += 5s;
    EXPECT_EQ(reader.read(), info("enp3s0", "イーサネット")) << "a new interface: rebuilt at once";
}

TEST_F(NetworkInfoCache, LosingThePrimaryInterfaceClearsTheCache) {
    auto reader = makeReader();
    EXPECT_TRUE(reader.read());
    tree.write("proc/net/route", "Iface\tDestination\tGateway \tFlags\n");
    now += 1s;
    EXPECT_FALSE(reader.read());
    useDefaultRoute("wlp2s0");
    wifi = WifiDetails{"Cafe", 4};
    now += 1s;
    EXPECT_EQ(reader.read(), info("wlp2s0", "Wi-Fi", "Cafe", "Wi-Fi 4"))
        << "its return rebuilds at once, not 30 s after the last refresh";
    tree.remove("proc/net/route");
    EXPECT_FALSE(reader.read());
}

TEST(NetworkInfoReader, ACapturedTreeIsAskedThroughItsRouteTable) {
    // Lowest metric: the wired link, not the Wi-Fi one (and not this machine's route).
    NetworkInfoReader reader(test::fixturePath("network/workstation"));
    const auto info = reader.read();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->interfaceName, "enp3s0");
}

TEST(NetworkInfoReader, KernelRouteLookupAgreesWithTheMainTableHere) {
    std::ifstream table("/proc/net/route");
    const std::string text(std::istreambuf_iterator<char>(table), {});
    const auto fromTable = parseDefaultRoute(text);
    auto query = RouteQuery::open();
    ASSERT_TRUE(query) << "an rtnetlink socket needs no privileges";
    NetworkInfoReader reader;
    const auto info = reader.read();
    if (!fromTable) {
        GTEST_SKIP() << "this machine has no IPv4 default route";
    }
    ASSERT_TRUE(info);
    // Policy routing could legitimately differ; on a plain host both say the same.
    EXPECT_EQ(info->interfaceName, *fromTable);
    EXPECT_FALSE(info->displayName.empty());
}

} // namespace
} // namespace trovimo
