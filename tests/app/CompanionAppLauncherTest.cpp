#include "app/CompanionAppLauncher.h"

#include "core/SystemLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace trovimo {
namespace {

// Stands in for the browser: pages handed to QDesktopServices land here.
class PageCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> pages;
public slots:
    void openPage(const QUrl& url) { pages.append(url); }
};

const QString installedId = QStringLiteral("jp.tsukimilabs.Shiori");

QString applicationsDirectory() {
    // HOME and the XDG directories of the test program live in its scratch folder.
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications");
}

QString markerPath() {
    return test::scratchDirectory() + QStringLiteral("/launched-shiori");
}

void writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

void writeDesktopEntry(const QString& path, const QByteArray& exec, const QByteArray& extra = {}) {
    writeFile(path, "[Desktop Entry]\nType=Application\nName=Test\nExec=" + exec + "\n" + extra);
}

const CompanionAppLauncher::Entry& entryFor(const std::vector<CompanionAppLauncher::Entry>& list,
                                            const QString& id) {
    const auto found = std::find_if(list.begin(), list.end(),
                                    [&](const auto& entry) { return entry.app.bundleID == id; });
    EXPECT_NE(found, list.end()) << id.toStdString();
    return *found;
}

class CompanionAppLauncherTest : public ::testing::Test {
protected:
    // One application is installed for the whole program, before the first lookup: GIO
    // reads the desktop directories once and then only follows them by file monitors.
    static void SetUpTestSuite() {
        static QTemporaryDir systemData;
        qputenv("XDG_DATA_DIRS", QFile::encodeName(systemData.path()));
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(Qt::darkCyan);
        const QString iconPath = test::scratchDirectory() + QStringLiteral("/shiori.png");
        image.save(iconPath);
        writeDesktopEntry(applicationsDirectory() + QLatin1Char('/') + installedId +
                              QStringLiteral(".desktop"),
                          "touch " + QFile::encodeName(markerPath()),
                          "Icon=" + QFile::encodeName(iconPath) + "\n");
        // Should GIO have looked before (another test of this program), its monitor catches up.
        EXPECT_TRUE(QTest::qWaitFor(
            [] {
                return entryFor(CompanionAppLauncher::lookUpEntries(), installedId).isInstalled();
            },
            5000));
    }

    CompanionAppLauncherTest() {
        setSystemLogSink([this](const QString& line) { log_.append(line); });
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher_, "openPage");
    }
    ~CompanionAppLauncherTest() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        setSystemLogSink({});
    }

    PageCatcher catcher_;
    QStringList log_;
};

// The installed app has its location and icon and is launched; the others have neither and
// open their page.
TEST_F(CompanionAppLauncherTest, OpenLaunchesTheInstalledAppAndSendsTheOthersToTheirPage) {
    QFile::remove(markerPath());
    const auto& entries = CompanionAppLauncher::entries();
    ASSERT_EQ(entries.size(), 4u);
    QList<QUrl> expectedPages;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const auto& entry = entries[index];
        EXPECT_EQ(entry.app, CompanionAppLauncher::apps()[index]);
        if (entry.app.bundleID == installedId) {
            ASSERT_TRUE(entry.appURL);
            EXPECT_TRUE(entry.appURL->toLocalFile().endsWith(installedId + ".desktop"));
            ASSERT_TRUE(entry.icon);
            // The offscreen screen has a device pixel ratio of 1.
            EXPECT_EQ(entry.icon->availableSizes(), QList<QSize>{QSize(16, 16)});
        } else {
            EXPECT_FALSE(entry.isInstalled()) << entry.app.bundleID.toStdString();
            EXPECT_FALSE(entry.icon.has_value());
            expectedPages.append(entry.app.pageURL);
        }
        CompanionAppLauncher::open(entry);
    }
    EXPECT_TRUE(QTest::qWaitFor([] { return QFile::exists(markerPath()); }, 5000));
    EXPECT_EQ(catcher_.pages, expectedPages);
    EXPECT_TRUE(log_.isEmpty()) << log_.join(u'\n').toStdString();
}

TEST_F(CompanionAppLauncherTest, ChangesWhileRunningReachOnlyTheNextStart) {
    const auto before = CompanionAppLauncher::entries();
    const QString laterId = CompanionAppLauncher::apps().back().bundleID;
    const QString laterPath = applicationsDirectory() + QLatin1Char('/') + laterId + ".desktop";
    writeDesktopEntry(laterPath, "true");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return entryFor(CompanionAppLauncher::lookUpEntries(), laterId).isInstalled(); },
        5000));

    const auto& after = CompanionAppLauncher::entries();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t index = 0; index < after.size(); ++index) {
        EXPECT_EQ(after[index].appURL, before[index].appURL);
    }
    EXPECT_FALSE(entryFor(after, laterId).isInstalled());
    QFile::remove(laterPath);
}

TEST_F(CompanionAppLauncherTest, LaunchFailureIsLoggedOnceWithTheName) {
    QTemporaryDir elsewhere;
    // `true` exists, the working directory does not: the spawn itself fails.
    const QString brokenPath = elsewhere.path() + QStringLiteral("/broken.desktop");
    writeDesktopEntry(brokenPath, "true", "Path=/nonexistent/trovimo-test\n");
    const CompanionApp& app = CompanionAppLauncher::apps().front();
    CompanionAppLauncher::open({app, QUrl::fromLocalFile(brokenPath), QIcon()});
    // A desktop entry removed since the lookup.
    CompanionAppLauncher::open(
        {app, QUrl::fromLocalFile(elsewhere.path() + "/gone.desktop"), QIcon()});

    ASSERT_EQ(log_.size(), 2);
    const QString prefix = QStringLiteral("MyAppLauncher: %1 の起動に失敗: ").arg(app.name);
    for (const QString& line : log_) {
        EXPECT_TRUE(line.startsWith(prefix)) << line.toStdString();
        EXPECT_GT(line.size(), prefix.size()) << line.toStdString();
    }
    EXPECT_TRUE(catcher_.pages.isEmpty());
}

TEST_F(CompanionAppLauncherTest, RefusedPageIsLoggedWithTheFullUrl) {
    // A handler that cannot take the URL makes the hand-off report failure.
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher_, "noSuchSlot");
    const CompanionApp& app = CompanionAppLauncher::apps().back();
    CompanionAppLauncher::open({app, std::nullopt, std::nullopt});
    ASSERT_EQ(log_.size(), 1);
    EXPECT_EQ(
        log_.front(),
        QStringLiteral("MyAppLauncher: %1 のページを開けませんでした").arg(app.pageURL.toString()));
}

} // namespace
} // namespace trovimo

#include "CompanionAppLauncherTest.moc"
