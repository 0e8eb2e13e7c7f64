#include "readers/TrashSizeReader.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>

namespace trovimo {
namespace {

TEST(ParseDirectorySizes, CacheLinesAndWhatIsLeftOut) {
    const auto sizes = parseDirectorySizes("4096 1700000000 b%20folder\n"
                                           "8192 1700000001 a\n"
                                           "12 1700000002\n"             // no name
                                           "-1 1700000003 negative\n"    // no size
                                           "1 2 bad%2\n"                 // broken escape
                                           "1 2 up%2F..\n"               // leaves files/
                                           "1 2 ..\n"                    // nor may this
                                           "1 2 extra field\n"           // four fields
                                           "16 1700000004 %E3%81%82\n"); // UTF-8 name
    EXPECT_EQ(sizes, (std::vector<DirectorySize>{{"a", 8192, 1700000001},
                                                 {"b folder", 4096, 1700000000},
                                                 {"\xE3\x81\x82", 16, 1700000004}}));
}

// A trash as a file manager leaves it: files/ with its entries, info/ with one .trashinfo
// each, and the directorysizes cache for some of the folders.
class TrashTree : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(trash).mkpath(QStringLiteral("files"));
        QDir(trash).mkpath(QStringLiteral("info"));
    }
    void file(const QString& relative, int bytes) {
        QDir(trash).mkpath(QFileInfo(trash + QStringLiteral("/files/") + relative).path());
        QFile out(trash + QStringLiteral("/files/") + relative);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(bytes, 'x'));
    }
    void info(const QString& name, std::int64_t mtime) {
        const QString path = trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo");
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("[Trash Info]\nPath=/x\nDeletionDate=2024-01-01T00:00:00\n");
        out.close();
        const timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.toLocal8Bit().constData(), times, 0), 0);
    }
    // What du -B1 says the entries take, summed: the reference the count must match.
    std::int64_t du(const QStringList& entries) {
        QStringList arguments{QStringLiteral("-s"), QStringLiteral("-B1")};
        for (const QString& entry : entries) {
            arguments << trash + QStringLiteral("/files/") + entry;
        }
        QProcess process;
        process.start(QStringLiteral("du"), arguments);
        process.waitForFinished();
        std::int64_t total = 0;
        for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
            total += line.split('\t').first().toLongLong();
        }
        return total;
    }
    TrashSizeReader reader(TrashCountLimits limits = {}) const {
        return TrashSizeReader(trash.toStdString(), test::scratchDirectory().toStdString(), limits);
    }

    QTemporaryDir scratch{test::scratchDirectory() + QStringLiteral("/trash-XXXXXX")};
    QString trash = scratch.path() + QStringLiteral("/Trash");
};

TEST_F(TrashTree, CountsWhatDuCountsAndTrustsOnlyACurrentCache) {
    EXPECT_EQ(reader().read(), 0) << "empty";
    file(QStringLiteral("photo.jpg"), 100'000);
    file(QStringLiteral("project/src/main.cpp"), 20'000);
    file(QStringLiteral("project/README"), 3'000);
    file(QStringLiteral("cached/big.iso"), 5'000);
    file(QStringLiteral("stale/old.txt"), 7'000);
    info(QStringLiteral("cached"), 1700000000);
    info(QStringLiteral("stale"), 1700000099); // trashed again since the size was taken
    QFile cache(trash + QStringLiteral("/directorysizes"));
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
    cache.write("999999999 1700000000 cached\n1 1700000000 stale\n");
    cache.close();
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr"), trash + QStringLiteral("/files/link")));

    const auto walked = du({QStringLiteral("photo.jpg"), QStringLiteral("project"),
                            QStringLiteral("stale"), QStringLiteral("link")});
    EXPECT_EQ(reader().read(), walked + 999999999);

    // However large the trash, a count stays within its limits and then gives up.
    EXPECT_FALSE(reader({.entries = 5}).read());
    EXPECT_FALSE(reader({.depth = 1}).read()) << "project/src is two deep";
    EXPECT_TRUE(reader({.depth = 2}).read());
}

TEST_F(TrashTree, MissingTrashIsZeroAndChangesWakeTheDescriptor) {
    QDir(trash).removeRecursively();
    auto watched = reader();
    EXPECT_EQ(watched.read(), 0);
    EXPECT_EQ(TrashSizeReader("", "").read(), 0);

    QDir(trash).mkpath(QStringLiteral("files"));
    ASSERT_EQ(watched.read(), 0); // the folder exists now: watched from here on
    pollfd ready{watched.changeDescriptor(), POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 0), 0);
    file(QStringLiteral("new.txt"), 10);
    EXPECT_EQ(::poll(&ready, 1, 1000), 1);
    watched.drainChanges();
    EXPECT_EQ(::poll(&ready, 1, 0), 0);
}

TEST(TrashSizeReader, TrashFollowsXdgDataHome) {
    // The test main points XDG_DATA_HOME at its scratch folder.
    EXPECT_EQ(TrashSizeReader::defaultTrashDirectory(),
              qEnvironmentVariable("XDG_DATA_HOME").toStdString() + "/Trash");
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(TrashSizeReader::defaultTrashDirectory(),
              qEnvironmentVariable("HOME").toStdString() + "/.local/share/Trash");
    qputenv("XDG_DATA_HOME", saved);
}

} // namespace
} // namespace trovimo
