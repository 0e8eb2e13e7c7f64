#include "remote/NodeExporterReader.h"

#include "readers/CPUStatsReader.h"
#include "readers/MemoryStatsReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

namespace trovimo {
namespace {

using namespace std::chrono_literals;
using TimePoint = NodeExporterReader::TimePoint;

constexpr BlockSet everything = BlockSet::all();
const TimePoint start{100s};

// Reads `first`, then `second` `received` later; the figures of the second.
Figures secondOf(const std::string& first, const std::string& second,
                 std::chrono::milliseconds received = 1000ms) {
    NodeExporterReader reader;
    (void)reader.read(first, start, everything);
    return reader.read(second, start + received, everything);
}

std::string cpuLine(int cpu, const char* mode, double seconds) {
    return "node_cpu_seconds_total{cpu=\"" + std::to_string(cpu) + "\",mode=\"" + mode + "\"} " +
           std::to_string(seconds) + "\n";
}

// The same ticks as /proc/stat and as the exporter writes them: the figures must agree.
TEST(NodeExporterReader, CpuLoadIsTheLocalReadersOverTheSameTicks) {
    const char* modes[] = {"user", "nice", "system", "idle", "iowait", "irq", "softirq", "steal"};
    const auto both = [&](int step) {
        std::string stat = "cpu 0 0 0 0\n";
        std::string body;
        for (int cpu : {0, 1, 2, 10}) { // the exporter lists core 10 before core 2
            stat += "cpu" + std::to_string(cpu);
            for (int mode = 0; mode < 8; ++mode) {
                const long ticks = 1000 + step * (cpu + 1) * (mode + 3) * (mode == 3 ? 4 : 1);
                stat += " " + std::to_string(ticks);
                body += cpuLine(cpu, modes[mode], ticks / 100.0);
            }
            stat += " 0 0\n";
        }
        return std::pair{stat, body};
    };
    const auto [stat0, body0] = both(0);
    const auto [stat1, body1] = both(7);
    const auto local = cpuLoadBetween(*parseProcStat(stat0), *parseProcStat(stat1));
    const auto remote = secondOf(body0, body1).cpu;
    ASSERT_TRUE(local && remote);
    EXPECT_EQ(*remote, *local);
    EXPECT_EQ(remote->perCore.size(), 4u);

    // A core with a count that is none (NaN, negative) is left out; one body alone has no load.
    const auto spoiled =
        secondOf(body0, body1 + cpuLine(1, "user", -1.0) +
                            "node_cpu_seconds_total{cpu=\"2\",mode=\"idle\"} NaN\n");
    ASSERT_TRUE(spoiled.cpu);
    EXPECT_EQ(spoiled.cpu->perCore.size(), 4u); // duplicates come second: the first counts
    NodeExporterReader reader;
    EXPECT_FALSE(reader.read(body0, start, everything).cpu);
    EXPECT_FALSE(secondOf(body0, cpuLine(0, "user", NAN) + cpuLine(0, "nice", 0) +
                                     cpuLine(0, "system", 0) + cpuLine(0, "idle", 1))
                     .cpu);
}

TEST(NodeExporterReader, MemoryIsTheLocalFormulaAndAbsentWithoutItsFigures) {
    const std::string meminfo = "MemTotal: 8000000 kB\nMemFree: 1000000 kB\n"
                                "MemAvailable: 5000000 kB\nActive(anon): 1500000 kB\n"
                                "Inactive(anon): 500000 kB\nZswap: 20000 kB\n"
                                "SwapTotal: 2000000 kB\nSwapFree: 1500000 kB\n";
    const std::string body = "node_memory_MemTotal_bytes 8.192e+09\n"
                             "node_memory_MemFree_bytes 1.024e+09\n"
                             "node_memory_MemAvailable_bytes 5.12e+09\n"
                             "node_memory_Active_anon_bytes 1.536e+09\n"
                             "node_memory_Inactive_anon_bytes 5.12e+08\n"
                             "node_memory_Zswap_bytes 2.048e+07\n"
                             "node_memory_SwapTotal_bytes 2.048e+09\n"
                             "node_memory_SwapFree_bytes 1.536e+09\n";
    NodeExporterReader reader;
    const auto remote = reader.read(body, start, everything).memory;
    ASSERT_TRUE(remote);
    EXPECT_EQ(*remote, memoryStatsFrom(*parseMeminfo(meminfo), 0, std::nullopt, std::nullopt));
    EXPECT_EQ(remote->used, 3'072'000'000u);

    for (const char* broken : {"node_memory_MemFree_bytes 1\n", "node_memory_MemTotal_bytes NaN\n",
                               "node_memory_MemTotal_bytes 0\n"}) {
        EXPECT_FALSE(NodeExporterReader().read(broken, start, everything).memory) << broken;
    }
}

// The exporter hands over stall seconds since boot; the state follows their ten-second average.
TEST(NodeExporterReader, PressureFollowsTheStallShareOfEachInterval) {
    const auto body = [](double waiting, double stalled) {
        return "node_memory_MemTotal_bytes 1e9\nnode_pressure_memory_waiting_seconds_total " +
               std::to_string(waiting) + "\nnode_pressure_memory_stalled_seconds_total " +
               std::to_string(stalled) + "\n";
    };
    const std::tuple<double, double, std::optional<MemoryPressure>> cases[] = {
        {0.01, 0.0, MemoryPressure::normal},
        {0.3, 0.0, MemoryPressure::warning},
        {0.3, 0.2, MemoryPressure::critical},
    };
    for (const auto& [waiting, stalled, expected] : cases) {
        NodeExporterReader reader;
        EXPECT_FALSE(reader.read(body(50, 5), start, everything).memory->pressure);
        const auto figures = reader.read(body(50 + waiting, 5 + stalled), start + 1s, everything);
        EXPECT_EQ(figures.memory->pressure, expected) << waiting << " " << stalled;
    }
    // A stall share of a moment fades: one second at 100 %, then nine quiet ones.
    NodeExporterReader reader;
    (void)reader.read(body(0, 0), start, everything);
    (void)reader.read(body(0.2, 0), start + 1s, everything);
    std::optional<MemoryPressure> state;
    for (int second = 2; second <= 20; ++second) {
        state = reader.read(body(0.2, 0), start + second * 1s, everything).memory->pressure;
    }
    EXPECT_EQ(state, MemoryPressure::normal);
}

std::string netBody(double time, double rx, double tx, double boot = 1.7e9) {
    return "node_boot_time_seconds " + std::to_string(boot) + "\nnode_time_seconds " +
           std::to_string(time) + "\nnode_network_receive_bytes_total{device=\"eth0\"} " +
           std::to_string(rx) + "\nnode_network_transmit_bytes_total{device=\"eth0\"} " +
           std::to_string(tx) + "\nnode_network_up{device=\"eth0\"} 1\n";
}

// Rates on the exporter's clock unless it jumped; a counter that went back or a restarted
// machine give no negative or huge rate.
TEST(NodeExporterReader, RatesUseTheExportersClockAndSurviveResets) {
    const std::tuple<std::string, std::chrono::milliseconds, std::optional<NetworkSpeed>> cases[] =
        {
            {netBody(1001.0, 2e6, 1e4), 1300ms, NetworkSpeed{1e6, 5e3}},
            // The remote clock was set an hour ahead: our receive times count.
            {netBody(4600.0, 2e6, 1e4), 1250ms, NetworkSpeed{8e5, 4e3}},
            {netBody(1001.0, 5e5, 1e4), 1000ms, NetworkSpeed{0, 5e3}},
            {netBody(1001.0, 2e6, 1e4, 1.8e9), 1000ms, std::nullopt},
        };
    for (const auto& [second, received, speed] : cases) {
        const auto figures = secondOf(netBody(1000.0, 1e6, 5e3), second, received);
        EXPECT_EQ(figures.network, speed) << second;
        ASSERT_TRUE(figures.networkInfo);
        EXPECT_EQ(figures.networkInfo->interfaceName, "eth0");
        EXPECT_EQ(figures.networkInfo->detailText(), "イーサネット");
    }
}

std::string interfaces(const std::vector<std::tuple<const char*, double, const char*>>& list) {
    std::string body;
    for (const auto& [name, bytes, extra] : list) {
        body += std::string("node_network_receive_bytes_total{device=\"") + name + "\"} " +
                std::to_string(bytes) + "\nnode_network_transmit_bytes_total{device=\"" + name +
                "\"} 0\n" + extra;
    }
    return body;
}

TEST(NodeExporterReader, ShowsTheBusiestInterfaceThatIsUpAndNotVirtual) {
    using List = std::vector<std::tuple<const char*, double, const char*>>;
    const std::tuple<List, List, const char*, const char*> cases[] = {
        // Without a body before: the most bytes since boot; then the most in the interval.
        {{{"enp3s0", 5e9, ""}, {"wlp2s0", 1e9, ""}},
         {{"enp3s0", 5e9, ""}, {"wlp2s0", 2e9, ""}},
         "enp3s0",
         "wlp2s0"},
        {{{"docker0", 9e9, ""}, {"veth1a2b", 9e9, ""}, {"br-1f2e", 9e9, ""}, {"eth0", 1e3, ""}},
         {{"docker0", 19e9, ""}, {"veth1a2b", 19e9, ""}, {"br-1f2e", 19e9, ""}, {"eth0", 2e3, ""}},
         "eth0",
         "eth0"},
        // Down, a tunnel's link type, a link to another interface (macvlan): all passed over.
        {{{"eno1", 1e3, "node_network_up{device=\"eno1\"} 0\n"},
          {"vpn0", 1e9, "node_network_protocol_type{device=\"vpn0\"} 65534\n"},
          {"mv0", 1e9,
           "node_network_iface_id{device=\"mv0\"} 7\n"
           "node_network_iface_link{device=\"mv0\"} 2\n"},
          {"eno2", 10, "node_network_protocol_type{device=\"eno2\"} 1\n"}},
         {},
         "eno2",
         nullptr},
        // Twice the traffic of the one shown is not yet a reason to switch.
        {{{"eth0", 9e9, ""}, {"eth1", 1e9, ""}},
         {{"eth0", 9e9 + 1e6, ""}, {"eth1", 1e9 + 2e6, ""}},
         "eth0",
         "eth0"},
    };
    for (const auto& [first, second, shownFirst, shownSecond] : cases) {
        NodeExporterReader reader;
        const auto one = reader.read(interfaces(first), start, everything);
        ASSERT_TRUE(one.networkInfo) << shownFirst;
        EXPECT_EQ(one.networkInfo->interfaceName, shownFirst);
        if (shownSecond != nullptr) {
            const auto two = reader.read(interfaces(second), start + 1s, everything);
            EXPECT_EQ(two.networkInfo->interfaceName, shownSecond) << shownFirst;
        }
    }
    EXPECT_FALSE(
        NodeExporterReader().read(interfaces({{"lo", 1e9, ""}}), start, everything).networkInfo);
}

std::string filesystem(const char* mount, const char* device, double size, double free,
                       double available, int error = 0) {
    const std::string labels =
        std::string("{device=\"") + device + "\",fstype=\"ext4\",mountpoint=\"" + mount + "\"} ";
    return "node_filesystem_size_bytes" + labels + std::to_string(size) +
           "\nnode_filesystem_free_bytes" + labels + std::to_string(free) +
           "\nnode_filesystem_avail_bytes" + labels + std::to_string(available) +
           "\nnode_filesystem_device_error" + labels + std::to_string(error) + "\n";
}

TEST(NodeExporterReader, DiskIsHomeWhereItIsAMountOfItsOwnElseRoot) {
    const std::string root = filesystem("/", "/dev/sda1", 1e11, 6e10, 5e10);
    const std::string home = filesystem("/home", "/dev/nvme0n1p2", 1e12, 5e11, 4.5e11);
    const std::tuple<std::string, std::optional<DiskUsage>> cases[] = {
        {root, DiskUsage{50'000'000'000, 100'000'000'000, 10'000'000'000, std::nullopt}},
        {root + home, DiskUsage{550'000'000'000, 1'000'000'000'000, 50'000'000'000, std::nullopt}},
        {root + filesystem("/home", "/dev/sdb1", 1e12, 5e11, 4.5e11, 1), std::nullopt},
        {"node_filesystem_size_bytes{device=\"x\",mountpoint=\"/\"} 1e9\n", std::nullopt},
    };
    for (const auto& [body, usage] : cases) {
        EXPECT_EQ(NodeExporterReader().read(body, start, everything).disk, usage) << body;
    }
}

TEST(NodeExporterReader, DiskActivityIsTheDiskUnderTheHomeFileSystem) {
    const auto disks = [](double step) {
        return "node_disk_read_bytes_total{device=\"nvme0n1\"} " + std::to_string(1e9 + step) +
               "\nnode_disk_written_bytes_total{device=\"nvme0n1\"} " +
               std::to_string(2e9 + 2 * step) + "\nnode_disk_read_bytes_total{device=\"dm-0\"} " +
               std::to_string(3e9 + 3 * step) +
               "\nnode_disk_written_bytes_total{device=\"dm-0\"} " + std::to_string(4e9) +
               "\nnode_disk_device_mapper_info{device=\"dm-0\",name=\"luks-home\"} 1\n";
    };
    const std::tuple<const char*, std::optional<DiskActivity>> cases[] = {
        {"/dev/nvme0n1p2", DiskActivity{1e6, 2e6, "nvme0n1"}},
        {"/dev/nvme0n1", DiskActivity{1e6, 2e6, "nvme0n1"}},
        {"/dev/mapper/luks-home", DiskActivity{3e6, 0, "luks-home"}},
        {"rpool/home", std::nullopt},
        {"/dev/sdz1", std::nullopt},
    };
    for (const auto& [device, activity] : cases) {
        const std::string mount = filesystem("/home", device, 1e12, 5e11, 4e11);
        EXPECT_EQ(secondOf(mount + disks(0), mount + disks(1e6)).diskActivity, activity) << device;
    }
}

// The laptop the local readers' fixture captured, as its exporter would write it: the same
// temperatures, fan and battery the local panel shows there.
TEST(NodeExporterReader, SensorsAndBatteryMatchTheLocalReadersFigures) {
    const std::string body =
        "node_hwmon_chip_names{chip=\"nvme_nvme0\",chip_name=\"nvme\"} 1\n"
        "node_hwmon_chip_names{chip=\"platform_coretemp_0\",chip_name=\"coretemp\"} 1\n"
        "node_hwmon_fan_rpm{chip=\"platform_thinkpad_hwmon\",sensor=\"fan1\"} 2400\n"
        "node_hwmon_fan_rpm{chip=\"platform_nct6775_656\",sensor=\"fan2\"} 0\n"
        "node_hwmon_sensor_label{chip=\"nvme_nvme0\",label=\"Composite\",sensor=\"temp1\"} 1\n"
        "node_hwmon_sensor_label{chip=\"platform_coretemp_0\",label=\"Package id 0\","
        "sensor=\"temp1\"} 1\n"
        "node_hwmon_sensor_label{chip=\"platform_coretemp_0\",label=\"Core 0\",sensor=\"temp2\"} "
        "1\n"
        "node_hwmon_temp_celsius{chip=\"nvme_nvme0\",sensor=\"temp1\"} 38.85\n"
        "node_hwmon_temp_celsius{chip=\"platform_coretemp_0\",sensor=\"temp1\"} 52\n"
        "node_hwmon_temp_celsius{chip=\"platform_coretemp_0\",sensor=\"temp2\"} 60\n"
        "node_hwmon_temp_crit_celsius{chip=\"nvme_nvme0\",sensor=\"temp1\"} 84.85\n"
        "node_hwmon_temp_crit_celsius{chip=\"platform_coretemp_0\",sensor=\"temp1\"} 100\n"
        "node_hwmon_temp_max_celsius{chip=\"nvme_nvme0\",sensor=\"temp1\"} 81.85\n"
        "node_hwmon_temp_max_celsius{chip=\"platform_coretemp_0\",sensor=\"temp1\"} 100\n"
        "node_thermal_zone_temp{type=\"x86_pkg_temp\",zone=\"1\"} 70\n"
        "node_power_supply_energy_full{power_supply=\"BAT0\"} 57.02\n"
        "node_power_supply_energy_watthour{power_supply=\"BAT0\"} 40.75\n"
        "node_power_supply_info{power_supply=\"AC\",type=\"Mains\"} 1\n"
        "node_power_supply_info{power_supply=\"BAT0\",status=\"Discharging\",type=\"Battery\"} 1\n"
        "node_power_supply_info{power_supply=\"mouse\",scope=\"Device\",status=\"Full\","
        "type=\"Battery\"} 1\n"
        "node_power_supply_power_watt{power_supply=\"BAT0\"} 8.42\n"
        "node_power_supply_energy_full{power_supply=\"mouse\"} 1\n"
        "node_power_supply_energy_watthour{power_supply=\"mouse\"} 1\n";
    const auto figures = NodeExporterReader().read(body, start, everything);
    const SensorReadings sensors{Temperature{52, 100, 100}, std::nullopt,
                                 Temperature{38.85, 81.85, 84.85}, 2400};
    EXPECT_EQ(figures.sensors, sensors);
    ASSERT_TRUE(figures.battery);
    EXPECT_NEAR(figures.battery->percent.value_or(-1), 100 * 40.75 / 57.02, 1e-9);
    EXPECT_EQ(figures.battery->state, BatteryState::discharging);
    EXPECT_EQ(figures.battery->timeLeft, std::chrono::seconds(17423));
    EXPECT_EQ(figures.battery->powerWatts, 8.42);

    // Without a CPU hwmon chip the CPU's thermal zone stands in; nothing at all is absent.
    const auto zone = NodeExporterReader().read(
        "node_thermal_zone_temp{type=\"cpu-thermal\",zone=\"0\"} 48.5\n", start, everything);
    EXPECT_EQ(zone.sensors, (SensorReadings{Temperature{48.5}, {}, {}, {}}));
    EXPECT_FALSE(zone.battery);
    EXPECT_FALSE(NodeExporterReader().read("", start, everything).sensors);
}

} // namespace
} // namespace trovimo
