// End to end: the throughput reader against a real kernel. In a child process with a network
// and a mount namespace of its own, a veth pair carries a known number of bytes; the reader,
// rooted at a folder holding /proc and a sysfs mounted inside the new namespace, must report
// them. Everything the test makes vanishes with the child's namespaces.
#include "readers/NetworkStatsReader.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
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

bool hasCapability(int capability) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    std::array<__user_cap_data_struct, 2> data{};
    if (::syscall(SYS_capget, &header, data.data()) != 0) {
        return false;
    }
    return (data[static_cast<std::size_t>(capability / 32)].effective &
            (1U << (capability % 32))) != 0;
}

bool hasIpTool() {
    return std::system("ip -V >/dev/null 2>&1") == 0;
}

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
    if (!hasCapability(CAP_NET_ADMIN) || !hasCapability(CAP_SYS_ADMIN)) {
        GTEST_SKIP() << "needs CAP_NET_ADMIN and CAP_SYS_ADMIN to make a network namespace "
                        "with a veth pair (CI runs as root)";
    }
    if (!hasIpTool()) {
        GTEST_SKIP() << "needs the ip tool (iproute2) to make the veth pair";
    }
    char pattern[] = "/tmp/trovimo-netns-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string scratch = pattern;
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        ::alarm(20); // bounded, whatever happens
        const std::string failure = measureInNamespace(scratch);
        (void)!::write(pipeEnds[1], failure.data(), failure.size());
        ::_exit(failure.empty() ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string failure;
    std::array<char, 256> chunk{};
    for (ssize_t got; (got = ::read(pipeEnds[0], chunk.data(), chunk.size())) > 0;) {
        failure.append(chunk.data(), static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored); // the sysfs mount died with the child

    if (failure.starts_with("unshare") || failure.starts_with("making mounts private") ||
        failure.starts_with("mounting sysfs")) {
        GTEST_SKIP() << "namespaces are not available here: " << failure;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (failure.empty() ? "the child did not finish" : failure);
}

} // namespace
} // namespace trovimo
