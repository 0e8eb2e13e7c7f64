#include "readers/WholeFileReader.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

#include <string>

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

    WholeFileReader small(64, 1000);
    EXPECT_FALSE(small.read(tree.root() + "/big"));
    EXPECT_LE(small.capacity(), 1000u);
}

TEST(PathUnderRoot, OneSlashBetween) {
    EXPECT_EQ(pathUnderRoot("/", "proc/stat"), "/proc/stat");
    EXPECT_EQ(pathUnderRoot("/", "/proc/stat"), "/proc/stat");
    EXPECT_EQ(pathUnderRoot("/tmp/root/", "proc/stat"), "/tmp/root/proc/stat");
    EXPECT_EQ(pathUnderRoot("/tmp/root", "/proc/stat"), "/tmp/root/proc/stat");
    EXPECT_EQ(pathUnderRoot("", "proc/stat"), "/proc/stat");
}

} // namespace
} // namespace trovimo
