#include "app/SettingsView.h"
#include "app/AboutView.h"
#include "app/AutostartLoginItem.h"
#include "app/RemoteMachineDialog.h"
#include "app/RemoteMachinesSection.h"
#include "model/RemoteMachine.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTextLayout>
#include <QUuid>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <tuple>

#include <sys/stat.h>

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

// "他のマシン": 追加… lists only what the panel can use and says why it refuses the rest; 削除
// takes the selected machine out; the settings hold the list, never a secret.
TEST_F(SettingsViewTest, OtherMachinesAreAddedWhenUsableAndRemoved) {
    const QString folder = freshFolder();
    const auto file = [&](const char* name, const QByteArray& contents, mode_t mode) {
        QFile out(folder + QLatin1Char('/') + QLatin1String(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(contents);
        out.close();
        ::chmod(QFile::encodeName(out.fileName()).constData(), mode);
        return out.fileName();
    };
    const auto view = makeView();
    auto* section = view->findChild<RemoteMachinesSection*>();
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->title(), QStringLiteral("他のマシン"));
    const std::tuple<QString, QString, QString, const char*> attempts[] = {
        {"NAS", "ftp://nas.local/metrics", "", "http か https"},
        {"NAS", "http://ada:pw@nas.local:9100/metrics", "", "パスワード"},
        {"NAS", "http://nas.local:9100/metrics", file("open", "token", 0644), "chmod 600"},
        {"NAS", "http://nas.local:9100/metrics", file("lines", "a\nb", 0600), "1行"},
        {"このマシン", "http://nas.local:9100/metrics", "", "名前に使えません"},
        {"NAS", "https://nas.local:9100/metrics", file("token", "s3cr3t", 0600), nullptr},
        {"NAS", "http://other:9100/metrics", "", "同じ名前"},
        {"ビルド機", "http://build.local:9100/metrics", "", nullptr},
    };
    for (const auto& [name, url, credential, refusal] : attempts) {
        SCOPED_TRACE(url.toStdString());
        QString said;
        bool accepted = false;
        const auto answer = QObject::connect(
            section, &RemoteMachinesSection::dialogOpened, [&](RemoteMachineDialog& dialog) {
                dialog.findChild<QLineEdit*>(QStringLiteral("name"))->setText(name);
                dialog.findChild<QLineEdit*>(QStringLiteral("url"))->setText(url);
                dialog.findChild<QLineEdit*>(QStringLiteral("credentialFile"))->setText(credential);
                dialog.accept();
                accepted = dialog.result() == QDialog::Accepted;
                said = dialog.findChild<QLabel*>(QStringLiteral("message"))->text();
            });
        section->add();
        QObject::disconnect(answer);
        EXPECT_EQ(accepted, refusal == nullptr) << said.toStdString();
        if (refusal != nullptr) {
            EXPECT_TRUE(said.contains(QString::fromUtf8(refusal))) << said.toStdString();
        }
    }
    auto* list = child<QListWidget>(*view, "machines");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(readRemoteMachines(settings).front().credentialFile, std::get<2>(attempts[5]));
    QFile stored(settings.filePath());
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_FALSE(stored.readAll().contains("s3cr3t"));

    list->setCurrentRow(0);
    section->removeSelected();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(readRemoteMachines(settings).front().name, QStringLiteral("ビルド機"));
}

// The lines a word-wrapped label shows at its width; plain wrapping's without its breaks.
QStringList shownLines(const QLabel& label, bool plain = false) {
    QStringList lines;
    const QString text = label.text();
    for (const QString& paragraph :
         plain ? QStringList{QString(text).remove(u'\n')} : text.split(u'\n')) {
        QTextLayout layout(paragraph, label.font());
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(label.contentsRect().width());
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    return lines;
}

// Both windows break their texts as the panel breaks its alerts: in no more lines than plain
// wrapping, never before the kana that end a word (構築されていま｜す), inside 前後, or with a
// character or two left alone.
TEST_F(SettingsViewTest, WrappedTextsOfBothWindowsBreakBetweenPhrasesUnderEveryLocale) {
    const auto view = makeView();
    const AboutView about;
    int checked = 0;
    for (const QWidget* window :
         {static_cast<const QWidget*>(view.get()), static_cast<const QWidget*>(&about)}) {
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            const QStringList lines = shownLines(*label);
            if (!label->wordWrap() || lines.size() < 2) {
                continue;
            }
            ++checked;
            SCOPED_TRACE(lines.join(u'|').toStdString());
            EXPECT_LE(lines.size(), shownLines(*label, true).size());
            EXPECT_GE(lines.back().size(), 3);
            EXPECT_FALSE(lines.join(u'|').contains(QStringLiteral("前|後")));
            for (const QString& line : lines.mid(1)) {
                EXPECT_FALSE(line.front() >= QChar(0x3041) && line.front() <= QChar(0x309f));
            }
        }
    }
    EXPECT_GE(checked, 3); // the footer, the description, the libraries
}

} // namespace
} // namespace trovimo
