// The device readers against the floor of their bare reads, in the same run: the same files
// opened, read to the end and closed, and the same netlink exchange, with no parsing and no
// state. A counting operator new shows what a read allocates once its buffers have grown.
#include "readers/BatteryReader.h"
#include "readers/DiskActivityReader.h"
#include "readers/GPUStatsReader.h"
#include "readers/NetworkInfoReader.h"
#include "readers/NetworkStatsReader.h"
#include "readers/SensorsReader.h"
#include "support/AllocationCounting.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

namespace {

using namespace trovimo;
using namespace std::chrono_literals;

using trovimo::bench::measure;

std::array<char, 1 << 16> floorBuffer;

void slurp(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    while (::read(fd, floorBuffer.data(), floorBuffer.size()) > 0) {
    }
    ::close(fd);
}

const std::string fixtures = TROVIMO_FIXTURES_DIR;

// GPU on captured trees: the runtime-PM status, then the busy or residency file.
void BM_GPURead(benchmark::State& state, const std::string& fixture) {
    GPUStatsReader reader(fixtures + "/" + fixture, "libtrovimo-no-nvml.so.1");
    measure(state, [&] { benchmark::DoNotOptimize(reader.read()); });
}
void BM_GPUFloor(benchmark::State& state, const std::string& fixture, const std::string& value) {
    const std::string card = fixtures + "/" + fixture + "/sys/class/drm/card0";
    const std::string status = card + "/device/power/runtime_status";
    const std::string busy = card + value;
    measure(state, [&] {
        slurp(status);
        slurp(busy);
    });
}
BENCHMARK_CAPTURE(BM_GPURead, amdgpu, std::string("gpu/amdgpu"));
BENCHMARK_CAPTURE(BM_GPUFloor, amdgpu, std::string("gpu/amdgpu"),
                  std::string("/device/gpu_busy_percent"));
BENCHMARK_CAPTURE(BM_GPURead, i915, std::string("gpu/i915"));
BENCHMARK_CAPTURE(BM_GPUFloor, i915, std::string("gpu/i915"),
                  std::string("/gt/gt0/rc6_residency_ms"));

// The network step of a tick as the statistics store runs it: identity (a cache hit after
// the first read), then the throughput of the interface it names.
void networkStep(NetworkInfoReader& info, NetworkStatsReader& stats,
                 std::optional<std::string>& interface, BoottimeClock::time_point now) {
    const auto identity = info.read();
    if (identity) {
        if (!interface || *interface != identity->interfaceName) {
            interface = identity->interfaceName;
        }
    } else {
        interface.reset();
    }
    benchmark::DoNotOptimize(stats.read(now, interface));
}

// On the captured workstation tree: the route table instead of the kernel's route lookup.
void BM_NetworkStepFixture(benchmark::State& state) {
    const std::string root = fixtures + "/network/workstation";
    auto now = BoottimeClock::time_point(1'700'000'000s);
    NetworkInfoReader info(root, NetworkInfoReader::RouteSource::routeTable, {},
                           [&] { return now; });
    NetworkStatsReader stats(root);
    std::optional<std::string> interface;
    measure(state, [&] {
        now += 1ms; // stays well inside the 30 s cache
        networkStep(info, stats, interface, now);
    });
}
BENCHMARK(BM_NetworkStepFixture);

void BM_NetworkStepFixtureFloor(benchmark::State& state) {
    const std::string root = fixtures + "/network/workstation";
    const std::string route = root + "/proc/net/route";
    const std::string dev = root + "/proc/net/dev";
    const std::string flags = root + "/sys/class/net/enp3s0/flags";
    measure(state, [&] {
        slurp(route);
        slurp(dev);
        slurp(flags);
    });
}
BENCHMARK(BM_NetworkStepFixtureFloor);

// On this machine: the kernel's route lookup over rtnetlink, /proc/net/dev, the flags file.
void BM_NetworkStepLive(benchmark::State& state) {
    NetworkInfoReader info;
    NetworkStatsReader stats;
    std::optional<std::string> interface;
    measure(state, [&] { networkStep(info, stats, interface, BoottimeClock::now()); });
    if (!interface) {
        state.SkipWithError("no primary interface here");
    }
}
BENCHMARK(BM_NetworkStepLive);

void BM_NetworkStepLiveFloor(benchmark::State& state) {
    NetworkInfoReader info;
    const auto primary = info.read();
    if (!primary) {
        state.SkipWithError("no primary interface here");
        return;
    }
    const std::string flags = "/sys/class/net/" + primary->interfaceName + "/flags";
    const int socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    struct Request {
        nlmsghdr header;
        rtmsg route;
        rtattr destination;
        std::array<std::uint8_t, 4> address;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.route.rtm_family = AF_INET;
    request.route.rtm_dst_len = 32;
    request.destination.rta_len = RTA_LENGTH(4);
    request.destination.rta_type = RTA_DST;
    request.address = {1, 1, 1, 1};
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    measure(state, [&] {
        ++request.header.nlmsg_seq;
        ::sendto(socket, &request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&kernel),
                 sizeof kernel);
        ::recv(socket, floorBuffer.data(), floorBuffer.size(), 0);
        slurp("/proc/net/dev");
        slurp(flags);
    });
    ::close(socket);
}
BENCHMARK(BM_NetworkStepLiveFloor);

// The optional blocks' readers: a tick after the search, against opening, reading and closing
// the files that tick reads. On the hand-made trees both open every file (the reader keeps
// only kernel files open), so the difference is the reader's own work; "/" is this machine.
const DiscoverySchedule::Clock frozen = [] { return std::chrono::nanoseconds(0); };

std::string rootOf(const std::string& fixture) {
    return fixture == "/" ? fixture : fixtures + "/" + fixture;
}

template <typename Sample>
void skipWhenAbsent(benchmark::State& state, const std::optional<Sample>& sample) {
    if (!sample) {
        state.SkipWithError("nothing to read here");
    }
}

template <typename Reader> void floorOfTick(benchmark::State& state, Reader& reader) {
    benchmark::DoNotOptimize(reader.read());
    const auto files = reader.tickFiles();
    if (files.empty()) {
        state.SkipWithError("nothing to read here");
        return;
    }
    measure(state, [&] {
        for (const auto& file : files) {
            slurp(file);
        }
    });
}

template <typename Reader> void tick(benchmark::State& state, const std::string& fixture) {
    Reader reader(rootOf(fixture), frozen);
    measure(state, [&] { benchmark::DoNotOptimize(reader.read()); });
    skipWhenAbsent(state, reader.read());
}
template <typename Reader> void tickFloor(benchmark::State& state, const std::string& fixture) {
    Reader reader(rootOf(fixture), frozen);
    floorOfTick(state, reader);
}
void BM_SensorsRead(benchmark::State& state, const std::string& fixture) {
    tick<SensorsReader>(state, fixture);
}
void BM_SensorsFloor(benchmark::State& state, const std::string& fixture) {
    tickFloor<SensorsReader>(state, fixture);
}
void BM_BatteryRead(benchmark::State& state, const std::string& fixture) {
    tick<BatteryReader>(state, fixture);
}
void BM_BatteryFloor(benchmark::State& state, const std::string& fixture) {
    tickFloor<BatteryReader>(state, fixture);
}
BENCHMARK_CAPTURE(BM_SensorsRead, amd_desktop, std::string("sensors/amd-desktop"));
BENCHMARK_CAPTURE(BM_SensorsFloor, amd_desktop, std::string("sensors/amd-desktop"));
BENCHMARK_CAPTURE(BM_SensorsRead, live, std::string("/"));
BENCHMARK_CAPTURE(BM_SensorsFloor, live, std::string("/"));
BENCHMARK_CAPTURE(BM_BatteryRead, two_packs, std::string("battery/two-packs"));
BENCHMARK_CAPTURE(BM_BatteryFloor, two_packs, std::string("battery/two-packs"));
BENCHMARK_CAPTURE(BM_BatteryRead, live, std::string("/"));
BENCHMARK_CAPTURE(BM_BatteryFloor, live, std::string("/"));

// The same tick where the files are the kernel's, as in /sys: a tree of links to one-number
// files of /proc/sys standing in for a desktop's CPU, NVMe and two fans. The reader keeps them
// open; the floor opens each anew.
class KernelBackedSensors {
public:
    KernelBackedSensors() {
        const auto put = [&](const std::string& relative, const std::string& text) {
            const auto path = std::filesystem::path(root()) / relative;
            std::filesystem::create_directories(path.parent_path());
            std::ofstream(path) << text << "\n";
        };
        const auto link = [&](const std::string& relative, const char* target) {
            std::filesystem::create_symlink(target, std::filesystem::path(root()) / relative);
        };
        put("sys/class/hwmon/hwmon0/name", "k10temp");
        put("sys/class/hwmon/hwmon1/name", "nvme");
        put("sys/class/hwmon/hwmon2/name", "nct6798");
        link("sys/class/hwmon/hwmon0/temp1_input", "/proc/sys/vm/dirty_ratio");
        link("sys/class/hwmon/hwmon1/temp1_input", "/proc/sys/vm/swappiness");
        link("sys/class/hwmon/hwmon2/fan1_input", "/proc/sys/kernel/shmmni");
        link("sys/class/hwmon/hwmon2/fan2_input", "/proc/sys/kernel/msgmni");
    }
    ~KernelBackedSensors() { std::filesystem::remove_all(root_); }
    KernelBackedSensors(const KernelBackedSensors&) = delete;
    KernelBackedSensors& operator=(const KernelBackedSensors&) = delete;
    [[nodiscard]] std::string root() const { return root_; }

private:
    std::string root_ = std::filesystem::temp_directory_path() /
                        ("trovimo-bench-sensors-" + std::to_string(::getpid()));
};

void BM_SensorsReadKernelFiles(benchmark::State& state) {
    KernelBackedSensors tree;
    SensorsReader reader(tree.root(), frozen);
    measure(state, [&] { benchmark::DoNotOptimize(reader.read()); });
    skipWhenAbsent(state, reader.read());
}
void BM_SensorsFloorKernelFiles(benchmark::State& state) {
    KernelBackedSensors tree;
    SensorsReader reader(tree.root(), frozen);
    floorOfTick(state, reader);
}
BENCHMARK(BM_SensorsReadKernelFiles);
BENCHMARK(BM_SensorsFloorKernelFiles);

// /proc/diskstats: LVM on LUKS on one disk here, the home volume's disks on this machine.
void BM_DiskActivityRead(benchmark::State& state, const std::string& fixture) {
    DiskActivityReader::Locate locate;
    if (fixture != "/") {
        locate = [] { return HomeVolume{"/home/ada", 253, 2}; };
    }
    DiskActivityReader reader(rootOf(fixture), locate);
    auto now = DiskActivityReader::TimePoint(1'700'000'000s);
    reader.setHome(reader.locateHome(), now); // as the store does once a minute
    measure(state, [&] {
        now += 1us;
        benchmark::DoNotOptimize(reader.read(now));
    });
    if (!reader.disks()) {
        state.SkipWithError("no disk under the home directory here");
    }
}
void BM_DiskActivityFloor(benchmark::State& state, const std::string& fixture) {
    const std::string diskstats = rootOf(fixture) + (fixture == "/" ? "" : "/") + "proc/diskstats";
    measure(state, [&] { slurp(diskstats); });
}
BENCHMARK_CAPTURE(BM_DiskActivityRead, luks_lvm, std::string("disk-activity/luks-lvm"));
BENCHMARK_CAPTURE(BM_DiskActivityFloor, luks_lvm, std::string("disk-activity/luks-lvm"));
BENCHMARK_CAPTURE(BM_DiskActivityRead, live, std::string("/"));
BENCHMARK_CAPTURE(BM_DiskActivityFloor, live, std::string("/"));

} // namespace

BENCHMARK_MAIN();
