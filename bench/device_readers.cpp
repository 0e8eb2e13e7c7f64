// The device readers against the floor of their bare reads, in the same run: the same files
// opened, read to the end and closed, and the same netlink exchange, with no parsing and no
// state. A counting operator new shows what a read allocates once its buffers have grown.
#include "readers/GPUStatsReader.h"
#include "readers/NetworkInfoReader.h"
#include "readers/NetworkStatsReader.h"
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

} // namespace

BENCHMARK_MAIN();
