#include "readers/TrashSizeReader.h"

#include "core/SystemLog.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>

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

// A trash as a file manager leaves it: files/ with its entries, info/ with a .trashinfo for
// some, and the directorysizes cache.
class TrashTree : public ::testing::Test {
protected:
    void write(const QString& relative, int bytes, qint64 mtime = 0) {
        const QString path = trash + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(bytes, 'x'));
        out.flush();
        if (mtime != 0) {
            out.setFileTime(QDateTime::fromSecsSinceEpoch(mtime),
                            QFileDevice::FileModificationTime);
        }
    }
    // What du -B1 says the entries of files/ take: the reference the count must match.
    std::int64_t du(const QStringList& entries) {
        QProcess du;
        du.setWorkingDirectory(trash + QStringLiteral("/files"));
        du.start(QStringLiteral("du"), QStringList{QStringLiteral("-csB1")} + entries);
        du.waitForFinished();
        const QByteArray total = du.readAllStandardOutput().trimmed().split('\n').last();
        return total.split('\t').first().toLongLong();
    }
    TrashSizeReader reader(TrashCountLimits limits = {}) const {
        return TrashSizeReader(trash.toStdString(), test::scratchDirectory().toStdString(), limits);
    }

    QTemporaryDir scratch{test::scratchDirectory() + QStringLiteral("/trash-XXXXXX")};
    QString trash = scratch.path() + QStringLiteral("/Trash");
};

TEST_F(TrashTree, CountsWhatDuCountsAndTrustsOnlyACurrentCache) {
    EXPECT_EQ(reader().read(), 0) << "no trash yet";
    write(QStringLiteral("files/photo.jpg"), 100'000);
    write(QStringLiteral("files/project/src/main.cpp"), 20'000);
    write(QStringLiteral("files/cached/big.iso"), 5'000);
    write(QStringLiteral("files/stale/old.txt"), 7'000);
    write(QStringLiteral("files/huge/small.txt"), 3'000);
    write(QStringLiteral("info/cached.trashinfo"), 10, 1700000000);
    write(QStringLiteral("info/stale.trashinfo"), 10, 1700000099); // trashed again since
    write(QStringLiteral("info/huge.trashinfo"), 10, 1700000000);
    QFile cache(trash + QStringLiteral("/directorysizes"));
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
    // The last: more than any volume holds.
    cache.write("123456 1700000000 cached\n1 1700000000 stale\n"
                "9223372036854775807 1700000000 huge\n");
    cache.close();
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr"), trash + QStringLiteral("/files/link")));

    QStringList logged;
    setSystemLogSink([&](const QString& line) { logged << line; });
    const auto full = reader().read();
    EXPECT_EQ(full, 123456 + du({QStringLiteral("photo.jpg"), QStringLiteral("project"),
                                 QStringLiteral("stale"), QStringLiteral("link"),
                                 QStringLiteral("huge")}));
    // However large the trash, a count stays within its limits: what it counted is a lower
    // bound, said once in the log.
    EXPECT_EQ(reader({.depth = 2}).read(), full);
    auto shallow = reader({.depth = 1}); // project/src is two deep
    const auto partial = shallow.read();
    ASSERT_TRUE(partial && full);
    EXPECT_LT(*partial, *full);
    EXPECT_GT(*partial, *full - 25'000);
    EXPECT_EQ(shallow.read(), partial);
    EXPECT_EQ(logged.size(), 1) << logged.join(u'\n').toStdString();
    setSystemLogSink({});
}

TEST_F(TrashTree, AFolderMadeLaterIsWatchedFromItsFirstCount) {
    auto watched = reader();
    ASSERT_EQ(watched.read(), 0);
    QDir().mkpath(trash + QStringLiteral("/files"));
    ASSERT_EQ(watched.read(), 0);
    pollfd ready{watched.changeDescriptor(), POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 0), 0);
    write(QStringLiteral("files/new.txt"), 10);
    EXPECT_EQ(::poll(&ready, 1, 1000), 1);
    watched.drainChanges();
    EXPECT_EQ(::poll(&ready, 1, 0), 0);
}

} // namespace
} // namespace trovimo
