#include "app/AutostartLoginItem.h"
#include "core/AppInfo.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QUuid>

#include <gtest/gtest.h>

namespace trovimo {
namespace {

using Status = AutostartLoginItem::Status;

QString freshFolder() {
    return test::scratchDirectory() + QStringLiteral("/autostart-test/") +
           QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral("/autostart");
}

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

TEST(AutostartLoginItem, ParseEntry) {
    using Case = std::tuple<const char*, QByteArray, Status>;
    const Case cases[] = {
        {"ours", *AutostartLoginItem::entryText("/usr/bin/trovimo"), Status::enabled},
        {"hidden", "[Desktop Entry]\nExec=trovimo\nHidden=true\n", Status::disabled},
        {"hidden with spaces and CRLF", "[Desktop Entry]\r\nHidden = true \r\n", Status::disabled},
        {"hidden false", "[Desktop Entry]\nHidden=false\n", Status::enabled},
        {"switched off in GNOME", "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n",
         Status::disabled},
        {"hidden in another group", "[Desktop Entry]\nExec=a\n[Desktop Action x]\nHidden=true\n",
         Status::enabled},
        {"commented out", "[Desktop Entry]\n# Hidden=true\n", Status::enabled},
        {"no main group", "Hidden=false\nExec=trovimo\n", Status::disabled},
        {"empty", "", Status::disabled},
        {"binary", QByteArray("\x00\xff[Desktop Entry\x00]\n=\n==true", 22), Status::disabled},
        {"no final newline", "[Desktop Entry]\nHidden=true", Status::disabled},
    };
    for (const auto& [name, text, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(AutostartLoginItem::parseEntry(text), expected);
    }
}

TEST(AutostartLoginItem, RegisterWritesAnEntryTheDesktopStarts) {
    AutostartLoginItem item(freshFolder(), QByteArray("/opt/tri vimo/trovimo"));
    EXPECT_EQ(item.status(), Status::notRegistered);
    EXPECT_TRUE(
        item.entryPath().endsWith(QLatin1String(app::applicationId) + QStringLiteral(".desktop")));
    ASSERT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), Status::enabled);

    // What the entry holds is the fuzz target's and desktop_e2e.sh's (desktop-file-validate).
    ASSERT_TRUE(item.registerItem()); // again: still one entry, still enabled
    EXPECT_EQ(QDir(item.entryPath().section(QLatin1Char('/'), 0, -2)).entryList(QDir::Files).size(),
              1);
    ASSERT_TRUE(item.unregisterItem());
    EXPECT_EQ(item.status(), Status::notRegistered);
    EXPECT_TRUE(item.unregisterItem()); // nothing left to remove is not a failure
}

// Another machine's panel starts at login from an entry of its own, beside this machine's.
TEST(AutostartLoginItem, EachMachinesPanelHasAnEntryOfItsOwn) {
    const QString folder = freshFolder();
    AutostartLoginItem local(folder, QByteArray("/usr/bin/trovimo"));
    AutostartLoginItem nas(folder, QByteArray("/usr/bin/trovimo"), QStringLiteral("NAS \"2\""));
    ASSERT_TRUE(local.registerItem());
    ASSERT_TRUE(nas.registerItem());
    EXPECT_NE(nas.entryPath(), local.entryPath());
    QFile entry(nas.entryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        entry.readAll().contains("\nExec=/usr/bin/trovimo \"--machine=NAS \\\\\"2\\\\\"\"\n"));
    ASSERT_TRUE(nas.unregisterItem());
    EXPECT_EQ(local.status(), Status::enabled);
}

TEST(AutostartLoginItem, RegisterReplacesAnEntryTheUserSwitchedOff) {
    AutostartLoginItem item(freshFolder(), QByteArray("/usr/bin/trovimo"));
    writeFile(item.entryPath(), "[Desktop Entry]\nExec=trovimo\nHidden=true\n");
    EXPECT_EQ(item.status(), Status::disabled);
    ASSERT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), Status::enabled);
}

TEST(AutostartLoginItem, FailuresAreReportedNotThrown) {
    // A file where the folder should be: creating the folder fails, for root too.
    const QString folder = freshFolder();
    writeFile(folder, "not a folder");
    AutostartLoginItem blocked(folder, QByteArray("/usr/bin/trovimo"));
    EXPECT_EQ(blocked.status(), Status::notRegistered);
    EXPECT_FALSE(blocked.registerItem());
    EXPECT_TRUE(blocked.unregisterItem());

    // A folder where the entry should be: it cannot be replaced or removed as a file.
    AutostartLoginItem occupied(freshFolder(), QByteArray("/usr/bin/trovimo"));
    ASSERT_TRUE(QDir().mkpath(occupied.entryPath()));
    EXPECT_EQ(occupied.status(), Status::disabled);
    EXPECT_FALSE(occupied.registerItem());
    EXPECT_FALSE(occupied.unregisterItem());
    EXPECT_TRUE(QFileInfo(occupied.entryPath()).isDir());
}

} // namespace
} // namespace trovimo
