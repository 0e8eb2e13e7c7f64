// End to end: the throughput reader against a real kernel. In a child process with a network
// and a mount namespace of its own, a veth pair carries a known number of bytes; the reader,
// rooted at a folder holding /proc and a sysfs mounted inside the new namespace, must report
// them. Everything the test makes vanishes with the child's namespaces.
#include "readers/NetworkStatsReader.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace trovimo {
namespace {

using namespace std::chrono_literals;

// Runs in the child; returns an empty string on success, else what went wrong.
std::string measureInNamespace(const std::string& scratch) {
    if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
        return std::string("unshare: ") + std::strerror(errno);
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return std::string("making mounts private: ") + std::strerror(errno);
    }
    // sysfs shows the network namespace of whoever mounts it.
    const std::string sys = scratch + "/sys";
    std::filesystem::create_directories(sys);
    if (::mount("sysfs", sys.c_str(), "sysfs", 0, nullptr) != 0) {
        return std::string("mounting sysfs: ") + std::strerror(errno);
    }
    std::filesystem::create_directory_symlink("/proc", scratch + "/proc");
    // No IPv6 autoconfiguration chatter on the new links; a kernel without IPv6 has none.
    [[maybe_unused]] const int ipv6 =
        std::system("echo 1 > /proc/sys/net/ipv6/conf/default/disable_ipv6 2>/dev/null");
    if (std::system("ip link add trovimo0 type veth peer name trovimo1 && "
                    "ip link set trovimo0 up && ip link set trovimo1 up") != 0) {
        return "ip link could not make the veth pair";
    }
    // The kernel activates a new link's queue asynchronously (linkwatch, up to a second
    // under load); frames sent before that are dropped without being counted.
    for (int wait = 0; wait < 100; ++wait) {
        std::ifstream operstate(scratch + "/sys/class/net/trovimo0/operstate");
        std::string state;
        if (operstate >> state && state == "up") {
            break;
        }
        ::usleep(50'000);
    }
    const unsigned index = ::if_nametoindex("trovimo0");
    const int sender = ::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (index == 0 || sender < 0) {
        return "no packet socket on trovimo0";
    }

    NetworkStatsReader reader(scratch);
    const auto start = trovimo::BoottimeClock::time_point(1'700'000'000s);
    const std::optional<std::string> sending("trovimo0");
    const std::optional<std::string> receiving("trovimo1");
    // Prime both selections; each change of selection costs one absent sample.
    (void)reader.read(start, sending);

    // Raw frames of a local experimental EtherType: counted by both ends, answered by none.
    constexpr int frames = 200;
    constexpr std::size_t frameSize = 1000;
    std::array<unsigned char, frameSize> frame{};
    std::memset(frame.data(), 0xff, 6);                           // broadcast destination
    std::memcpy(frame.data() + 6, "\x02\x00\x00\x00\x00\x01", 6); // local source
    frame[12] = 0x88;
    frame[13] = 0xb5;
    sockaddr_ll target{};
    target.sll_family = AF_PACKET;
    target.sll_ifindex = static_cast<int>(index);
    target.sll_halen = 6;
    std::memset(target.sll_addr, 0xff, 6);
    for (int i = 0; i < frames; ++i) {
        if (::sendto(sender, frame.data(), frame.size(), 0,
                     reinterpret_cast<const sockaddr*>(&target),
                     sizeof target) != static_cast<ssize_t>(frame.size())) {
            ::close(sender);
            return std::string("sendto: ") + std::strerror(errno);
        }
    }
    ::close(sender);

    const auto sent = reader.read(start + 2s, sending);
    if (!sent) {
        return "no sample for the sending end";
    }
    const double expected = frames * frameSize / 2.0; // bytes per second over 2 s
    char message[256];
    if (sent->upload < expected || sent->upload > expected * 1.05 || sent->download > 1000) {
        std::snprintf(message, sizeof message, "sending end: upload %.0f, download %.0f B/s",
                      sent->upload, sent->download);
        return message;
    }
    (void)reader.read(start + 2s, receiving);
    const auto nothing = reader.read(start + 3s, receiving);
    if (!nothing || nothing->download != 0.0) {
        return "the receiving end moved without traffic";
    }
    return {};
}

TEST(NetnsThroughput, VethPairCarriesTheBytesTheReaderReports) {
    // What the test needs, tried in a namespace thrown away at once.
    if (std::system("unshare --net --mount ip link add trovimo0 type veth peer name trovimo1 "
                    ">/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "needs CAP_NET_ADMIN and CAP_SYS_ADMIN to make a network namespace "
                        "with a veth pair (CI runs as root), and the ip tool (iproute2)";
    }
    char pattern[] = "/tmp/trovimo-netns-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    // A child of its own (whose namespaces and sysfs mount end with it), bounded in time.
    EXPECT_EXIT(
        {
            ::alarm(20);
            const std::string failure = measureInNamespace(pattern);
            std::fputs(failure.c_str(), stderr);
            ::_exit(failure.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
}

} // namespace
} // namespace trovimo
