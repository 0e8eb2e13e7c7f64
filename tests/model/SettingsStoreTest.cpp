#include "model/SettingsStore.h"
#include "core/SystemLog.h"
#include "model/DisplaySettings.h"
#include "model/SettingsKeys.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace trovimo;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QString path() const { return dir.path() + QStringLiteral("/Trovimo/Trovimo.conf"); }
    void writeFile(const QByteArray& contents) {
        QDir().mkpath(dir.path() + QStringLiteral("/Trovimo"));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QTemporaryDir dir;
};

TEST_F(SettingsStoreTest, RegistrationNeverReachesTheFile) {
    SettingsStore store(path());
    store.registerDefaults(defaultSettings());
    EXPECT_TRUE(store.boolValue(shownKey(Block::cpu)));
    EXPECT_FALSE(store.boolValue(keys::alwaysOnTop)) << "not registered: the zero value";
    EXPECT_FALSE(store.stringValue(keys::updateFeedURL).has_value());
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(SettingsStoreTest, StoredValueWinsOverRegistrationAndPersists) {
    {
        SettingsStore store(path());
        store.registerDefaults(defaultSettings());
        store.setBool(shownKey(Block::cpu), false);
        store.setDouble(keys::updateInterval, 5.0);
        store.setString(keys::updateFeedURL, QStringLiteral("https://example.test/feed.json"));
        EXPECT_FALSE(store.boolValue(shownKey(Block::cpu)));
    }
    SettingsStore reopened(path());
    reopened.registerDefaults(defaultSettings());
    EXPECT_FALSE(reopened.boolValue(shownKey(Block::cpu)));
    EXPECT_DOUBLE_EQ(reopened.doubleValue(keys::updateInterval), 5.0);
    EXPECT_EQ(reopened.stringValue(keys::updateFeedURL),
              QStringLiteral("https://example.test/feed.json"));
    // The file holds only what was set, not the registered defaults.
    EXPECT_FALSE(reopened.contains(shownKey(Block::gpu)));

    reopened.remove(shownKey(Block::cpu));
    EXPECT_TRUE(reopened.boolValue(shownKey(Block::cpu)));
}

TEST_F(SettingsStoreTest, HandEditedValuesThatDoNotParseReadAsZero) {
    writeFile("[General]\nupdateInterval=abc\nshowCPU=maybe\ndiskAlertThreshold=0.75\n"
              "showGPU=false\nshowDisk=1\n");
    SettingsStore store(path());
    store.registerDefaults(defaultSettings());
    EXPECT_DOUBLE_EQ(store.doubleValue(keys::updateInterval), 0.0);
    EXPECT_DOUBLE_EQ(effectiveUpdateInterval(store.doubleValue(keys::updateInterval)), 1.0);
    EXPECT_FALSE(store.boolValue(shownKey(Block::cpu)));
    EXPECT_DOUBLE_EQ(store.doubleValue(keys::diskAlertThreshold), 0.75);
    EXPECT_FALSE(store.boolValue(shownKey(Block::gpu)));
    EXPECT_TRUE(store.boolValue(shownKey(Block::disk)));
}

TEST_F(SettingsStoreTest, BinaryGarbageFileReadsAsDefaultsWithoutCrashing) {
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage.append(static_cast<char>((i * 151 + 7) & 0xFF));
    }
    writeFile(garbage);
    SettingsStore store(path());
    store.registerDefaults(defaultSettings());
    EXPECT_GE(effectiveUpdateInterval(store.doubleValue(keys::updateInterval)), 0.0);
    (void)store.boolValue(shownKey(Block::cpu));
}

// Each layer in turn, as the panel, the statistics store and the settings window all see it;
// a write or a registration is seen at once.
TEST_F(SettingsStoreTest, DisplaySettingsTakeStoredThenRegisteredThenTheirOwnDefaults) {
    writeFile("[General]\nshowSelf=true\nshowCPU=maybe\ndiskAlertThreshold=-5\n"
              "updateInterval=1e-9\n");
    SettingsStore store(path());
    const DisplaySettings& shown = store.display();
    EXPECT_TRUE(shown.alwaysOnTop);
    EXPECT_TRUE(shown.shows(Block::self));
    EXPECT_FALSE(shown.shows(Block::cpu)) << "unparsable reads as false";
    EXPECT_TRUE(shown.shows(Block::gpu)) << "nothing registered: the built-in default";
    EXPECT_EQ(shown.diskAlertThresholdAsSet, -5.0);
    EXPECT_EQ(shown.diskAlertThreshold, 0.0);
    EXPECT_EQ(shown.updateIntervalAsSet, 1e-9);
    EXPECT_EQ(shown.updateInterval, 0.1);

    QVariantMap registered = defaultSettings();
    registered.insert(QLatin1String(shownKey(Block::gpu)), false);
    store.registerDefaults(registered);
    EXPECT_FALSE(store.display().shows(Block::gpu));
    store.setBool(keys::alwaysOnTop, false);
    EXPECT_FALSE(store.display().alwaysOnTop);
    EXPECT_EQ(store.display().updateIntervalAsSet, 1e-9);
}

TEST(EffectiveUpdateInterval, FallsBackToOneSecondUnlessPositiveAndFinite) {
    EXPECT_DOUBLE_EQ(effectiveUpdateInterval(0.0), 1.0);
    EXPECT_DOUBLE_EQ(effectiveUpdateInterval(-2.0), 1.0);
    EXPECT_DOUBLE_EQ(effectiveUpdateInterval(std::nan("")), 1.0);
    EXPECT_DOUBLE_EQ(effectiveUpdateInterval(HUGE_VAL), 1.0);
    EXPECT_DOUBLE_EQ(effectiveUpdateInterval(3.0), 3.0); // outside the offered set, kept
    EXPECT_DOUBLE_EQ(effectiveUpdateInterval(3600.0), 3600.0);
    EXPECT_DOUBLE_EQ(effectiveUpdateInterval(0.5), 0.5);
    EXPECT_DOUBLE_EQ(effectiveUpdateInterval(1e-9), 0.1); // not a busy loop
}

TEST(EffectiveDiskAlertThreshold, ClampsFiniteValuesAndReplacesTheRest) {
    const double cases[][2] = {{0.85, 0.85}, {-5, 0},          {0, 0},         {1.5, 1},
                               {NAN, 0.9},   {-HUGE_VAL, 0.9}, {HUGE_VAL, 0.9}};
    for (const auto& [stored, used] : cases) {
        EXPECT_DOUBLE_EQ(effectiveDiskAlertThreshold(stored), used) << stored;
    }
}

TEST_F(SettingsStoreTest, WritesAnnounceTheKeyAndAreSeenBySharedReaders) {
    SettingsStore store(path());
    QSignalSpy spy(&store, &SettingsStore::changed);
    store.setBool(keys::alwaysOnTop, false);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QString::fromLatin1(keys::alwaysOnTop));
    EXPECT_FALSE(store.boolValue(keys::alwaysOnTop));
    EXPECT_TRUE(store.contains(keys::alwaysOnTop));
}

TEST_F(SettingsStoreTest, UnwritableLocationIsLoggedNotFatal) {
    QStringList lines;
    setSystemLogSink([&](const QString& line) { lines << line; });
    // A regular file where the folder should be: not writable even for root.
    QFile blocker(dir.path() + QStringLiteral("/blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore store(dir.path() + QStringLiteral("/blocker/Trovimo.conf"));
    store.setBool(shownKey(Block::cpu), false);
    setSystemLogSink({});
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.front().startsWith(QStringLiteral("SettingsStore: ")));
    // The value is still seen in this process.
    EXPECT_FALSE(store.boolValue(shownKey(Block::cpu)));
}

TEST(SettingsStoreShared, UsesTheXdgConfigLocation) {
    const QString expected = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) +
                             QStringLiteral("/Trovimo/Trovimo.conf");
    EXPECT_EQ(SettingsStore::defaultFilePath(), expected);
    EXPECT_TRUE(SettingsStore::defaultFilePath().startsWith(test::scratchDirectory()));
}

} // namespace
