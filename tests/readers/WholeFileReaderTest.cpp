#include "readers/WholeFileReader.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace trovimo {
namespace {

TEST(WholeFileReader, GrowsPastItsFirstBufferAndStopsAtTheLimit) {
    test::ScratchProcTree tree;
    std::string big(100'000, 'x');
    big.back() = 'y';
    tree.write("big", big);
    tree.write("empty", "");
    WholeFileReader reader(64, 200'000);
    const auto text = reader.read(tree.root() + "/big");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, big);
    EXPECT_EQ(reader.read(tree.root() + "/empty"), std::string_view());
    EXPECT_FALSE(reader.read(tree.root() + "/missing"));
    EXPECT_FALSE(reader.read(tree.root())); // a directory cannot be read
    ASSERT_EQ(::mkfifo((tree.root() + "/fifo").c_str(), 0600), 0);
    EXPECT_FALSE(reader.read(tree.root() + "/fifo")) << "and a FIFO must not block";

    WholeFileReader small(64, 1000);
    EXPECT_FALSE(small.read(tree.root() + "/big"));
    EXPECT_LE(small.capacity(), 1000u);
}

TEST(WholeFileReader, KeepsKernelFilesOpenAndReadsThemAfresh) {
    WholeFileReader reader;
    const std::string first(reader.read("/proc/uptime").value_or(""));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(reader.openFiles(), 1u);
    std::string second;
    for (int attempt = 0; attempt < 50 && (second.empty() || second == first); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        second = std::string(reader.read("/proc/uptime").value_or(""));
    }
    EXPECT_NE(second, first) << "a kept file must be generated again, not served stale";

    // Never more than a handful held, however many paths come by.
    for (const char* path : {"/proc/meminfo", "/proc/stat", "/proc/self/stat", "/proc/loadavg",
                             "/proc/self/status", "/proc/version", "/proc/cpuinfo"}) {
        EXPECT_TRUE(reader.read(path)) << path;
    }
    EXPECT_EQ(reader.openFiles(), WholeFileReader::maximumKept);
}

TEST(WholeFileReader, AFileOfAProcessThatEndedReadsAbsent) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::pause();
        ::_exit(0);
    }
    WholeFileReader reader;
    const std::string path = "/proc/" + std::to_string(child) + "/stat";
    EXPECT_TRUE(reader.read(path));
    EXPECT_EQ(reader.openFiles(), 1u);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(reader.read(path));
    EXPECT_EQ(reader.openFiles(), 0u);
}

TEST(WholeFileReader, ReplacedOrdinaryFilesAreReadAnew) {
    test::ScratchProcTree tree;
    tree.write("proc/stat", "first");
    WholeFileReader reader;
    const std::string path = tree.root() + "/proc/stat";
    EXPECT_EQ(reader.read(path), std::string_view("first"));
    tree.write("proc/stat", "second and longer");
    EXPECT_EQ(reader.read(path), std::string_view("second and longer"));
    EXPECT_EQ(reader.openFiles(), 0u);
}

} // namespace
} // namespace trovimo
