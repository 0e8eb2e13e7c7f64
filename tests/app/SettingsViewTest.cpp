#include "app/SettingsView.h"
#include "app/AutostartLoginItem.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QUuid>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace trovimo {
namespace {

QString freshFolder() {
    const QString path = test::scratchDirectory() + QStringLiteral("/settings-view/") +
                         QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDir().mkpath(path);
    return path;
}

class SettingsViewTest : public ::testing::Test {
protected:
    SettingsViewTest() : settings(freshFolder() + QStringLiteral("/Trovimo.conf")) {
        settings.registerDefaults(defaultSettings());
    }

    std::unique_ptr<SettingsView> makeView() {
        return std::make_unique<SettingsView>(settings, autostart);
    }

    template <typename T> static T* child(const SettingsView& view, const char* name) {
        auto* widget = view.findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    SettingsStore settings;
    AutostartLoginItem autostart{freshFolder() + QStringLiteral("/autostart"),
                                 QByteArray("/usr/bin/trovimo")};
};

TEST_F(SettingsViewTest, EverySwitchWritesItsKeyAtOnce) {
    const auto view = makeView();
    std::vector<const char*> switches{keys::snapToEdges, keys::animateValues};
    for (const BlockRow& row : blockTable) {
        switches.push_back(row.shown.key);
        if (row.detail) {
            switches.push_back(row.detail->key);
        }
    }
    for (const char* key : switches) {
        SCOPED_TRACE(key);
        auto* box = child<QCheckBox>(*view, key);
        ASSERT_NE(box, nullptr);
        const bool before = defaultSettings().value(QLatin1String(key)).toBool();
        EXPECT_EQ(box->isChecked(), before);
        EXPECT_FALSE(settings.contains(QLatin1String(key)));
        box->click();
        EXPECT_EQ(settings.storedValue(QLatin1String(key)).toBool(), !before);
        box->click();
        EXPECT_EQ(settings.storedValue(QLatin1String(key)).toBool(), before);
    }
}

TEST_F(SettingsViewTest, ShowsDefaultsWithoutRegistration) {
    // Opened before start-up registered anything, the window still shows the defaults.
    SettingsStore bare(freshFolder() + QStringLiteral("/Trovimo.conf"));
    const SettingsView view(bare, autostart);
    EXPECT_TRUE(child<QCheckBox>(view, shownKey(Block::clock))->isChecked());
    EXPECT_FALSE(child<QCheckBox>(view, shownKey(Block::self))->isChecked());
    EXPECT_EQ(child<QLabel>(view, "diskAlertThresholdText")->text(), QStringLiteral("90%"));
    EXPECT_EQ(child<QComboBox>(view, keys::updateInterval)->currentText(), QStringLiteral("1秒"));
}

TEST_F(SettingsViewTest, DisabledSwitchKeepsItsStoredValue) {
    for (const BlockRow& row : blockTable) {
        if (!row.detail) {
            continue;
        }
        const char* dependentKey = row.detail->key;
        SCOPED_TRACE(dependentKey);
        settings.setBool(QLatin1String(dependentKey), true);
        const auto view = makeView();
        auto* parent = child<QCheckBox>(*view, row.shown.key);
        auto* dependent = child<QCheckBox>(*view, dependentKey);
        ASSERT_TRUE(parent && dependent);
        EXPECT_TRUE(dependent->isEnabled());

        parent->click();
        EXPECT_FALSE(dependent->isEnabled());
        EXPECT_TRUE(dependent->isChecked());
        EXPECT_TRUE(settings.storedValue(QLatin1String(dependentKey)).toBool());

        parent->click();
        EXPECT_TRUE(dependent->isEnabled());
        EXPECT_TRUE(dependent->isChecked());
        EXPECT_TRUE(settings.storedValue(QLatin1String(dependentKey)).toBool());
    }
}

TEST_F(SettingsViewTest, SliderStepsThroughTenThresholds) {
    const auto view = makeView();
    auto* slider = child<QSlider>(*view, keys::diskAlertThreshold);
    auto* text = child<QLabel>(*view, "diskAlertThresholdText");
    ASSERT_TRUE(slider && text);
    ASSERT_EQ(slider->minimum(), 0);
    ASSERT_EQ(slider->maximum(), 9);
    EXPECT_EQ(slider->value(), 8); // the 0.9 default

    const double expected[] = {0.5, 0.55, 0.6, 0.65, 0.7, 0.75, 0.8, 0.85, 0.9, 0.95};
    slider->setValue(slider->minimum());
    for (int position = 0; position <= 9; ++position) {
        SCOPED_TRACE(position);
        slider->setValue(position);
        // Exactly the literal, so "0.55" lands in the settings file, not 0.55000000000000004.
        EXPECT_EQ(settings.doubleValue(QLatin1String(keys::diskAlertThreshold)),
                  expected[position]);
        EXPECT_EQ(text->text(), QString::number(50 + 5 * position) + QLatin1Char('%'));
    }
}

TEST_F(SettingsViewTest, OutOfRangeThresholdIsShownButNotRewritten) {
    settings.setDouble(QLatin1String(keys::diskAlertThreshold), 0.3);
    const auto view = makeView();
    EXPECT_EQ(child<QSlider>(*view, keys::diskAlertThreshold)->value(), 0);
    EXPECT_EQ(child<QLabel>(*view, "diskAlertThresholdText")->text(), QStringLiteral("30%"));
    EXPECT_EQ(settings.doubleValue(QLatin1String(keys::diskAlertThreshold)), 0.3);
}

TEST(SettingsViewText, ThresholdText) {
    struct Case {
        double threshold;
        const char* text;
    };
    const Case cases[] = {
        {0.9, "90%"},
        {0.85, "85%"},
        {0.5, "50%"},
        {0.125, "13%"},
        {1.2, "120%"},
        {0.0, "0%"},
        {-0.001, "0%"},
        {-0.125, "-13%"},
        {1e300, nullptr},
        {std::numeric_limits<double>::quiet_NaN(), "—"},
        {std::numeric_limits<double>::infinity(), "—"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.threshold);
        const QString text = SettingsView::thresholdText(c.threshold);
        if (c.text != nullptr) {
            EXPECT_EQ(text, QString::fromUtf8(c.text));
        } else {
            // Huge but finite: still a whole number with a percent sign, no overflow.
            EXPECT_TRUE(text.endsWith(QLatin1Char('%')));
            EXPECT_FALSE(text.contains(QLatin1Char('e')));
        }
    }
}

TEST_F(SettingsViewTest, IntervalPicker) {
    const auto view = makeView();
    auto* picker = child<QComboBox>(*view, keys::updateInterval);
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->currentText(), QStringLiteral("1秒"));

    picker->setCurrentIndex(picker->findText(QStringLiteral("5秒")));
    EXPECT_EQ(settings.storedValue(QLatin1String(keys::updateInterval)).toDouble(), 5.0);
    picker->setCurrentIndex(0);
    EXPECT_EQ(settings.doubleValue(QLatin1String(keys::updateInterval)), 0.5);
}

TEST_F(SettingsViewTest, UnknownIntervalSelectsNothingAndIsKept) {
    settings.setDouble(QLatin1String(keys::updateInterval), 3.0);
    const auto view = makeView();
    EXPECT_EQ(child<QComboBox>(*view, keys::updateInterval)->currentIndex(), -1);
    EXPECT_EQ(settings.doubleValue(QLatin1String(keys::updateInterval)), 3.0);
}

TEST_F(SettingsViewTest, FollowsChangesMadeElsewhere) {
    // The panel's context menu writes snapToEdges while this window may be open.
    const auto view = makeView();
    auto* snap = child<QCheckBox>(*view, keys::snapToEdges);
    ASSERT_TRUE(snap->isChecked());
    settings.setBool(QLatin1String(keys::snapToEdges), false);
    EXPECT_FALSE(snap->isChecked());
    EXPECT_FALSE(settings.boolValue(QLatin1String(keys::snapToEdges)));
}

TEST_F(SettingsViewTest, LoginSwitchShowsOnlyAnEntryTheDesktopStartsAsOn) {
    for (const auto& [entry, on] :
         {std::pair{QByteArray(), false},
          std::pair{QByteArray("[Desktop Entry]\nExec=trovimo\n"), true},
          std::pair{QByteArray("[Desktop Entry]\nExec=trovimo\nHidden=true\n"), false}}) {
        QFile::remove(autostart.entryPath());
        if (!entry.isEmpty()) {
            QDir().mkpath(QFileInfo(autostart.entryPath()).absolutePath());
            QFile file(autostart.entryPath());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(entry);
        }
        const auto view = makeView();
        EXPECT_EQ(child<QCheckBox>(*view, "launchAtLogin")->isChecked(), on) << entry.data();
    }
}

TEST_F(SettingsViewTest, AutostartSwitchWithUnwritableFolderEndsOff) {
    // A plain file where the autostart folder belongs: no one, root included, can write the
    // entry, which a read-only folder would not guarantee under CI's root.
    const QString base = freshFolder();
    const QString blocked = base + QStringLiteral("/autostart");
    {
        QFile file(blocked);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    AutostartLoginItem unwritable(blocked, QByteArray("/usr/bin/trovimo"));
    const SettingsView view(settings, unwritable);
    auto* box = child<QCheckBox>(view, "launchAtLogin");
    EXPECT_FALSE(box->isChecked());
    box->click();
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(unwritable.isEnabled());
}

} // namespace
} // namespace trovimo
