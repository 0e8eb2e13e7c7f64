#include "panel/ContentView.h"
#include "model/RemoteMachine.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "panel/PanelPainter.h"
#include "support/ManualWakeTimer.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>

namespace trovimo {
namespace {

class ContentViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        settings = std::make_unique<SettingsStore>(
            test::scratchDirectory() + QStringLiteral("/content-view-%1.conf").arg(++counter));
        settings->registerDefaults(defaultSettings());
        // The store refreshes when a test says so; a refresh on its own timer would repaint
        // at a moment no test can predict.
        stats = std::make_unique<StatsStore>(*settings, nullptr,
                                             std::make_unique<test::ManualWakeTimer>());
        view = std::make_unique<ContentView>(*stats, nullptr, *settings);
    }

    void hover(bool inside) {
        if (inside) {
            QEnterEvent enter(QPointF(50, 50), QPointF(50, 50), QPointF(50, 50));
            QCoreApplication::sendEvent(view.get(), &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(view.get(), &leave);
        }
    }

    QList<QAction*> menuActions() {
        menu.reset(view->buildContextMenu(nullptr));
        return menu->actions();
    }

    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<StatsStore> stats;
    std::unique_ptr<ContentView> view;
    std::unique_ptr<QMenu> menu;
};

TEST_F(ContentViewTest, StartsWithoutHoverControlsAndShowsThemWhilePointerInside) {
    EXPECT_FALSE(view->isHovering());
    EXPECT_TRUE(view->currentLayout().hitRegions.empty());
    hover(true);
    EXPECT_TRUE(view->isHovering());
    EXPECT_EQ(view->currentLayout().hitRegions.size(), 2u);
    hover(false);
    EXPECT_TRUE(view->currentLayout().hitRegions.empty());
}

TEST_F(ContentViewTest, PinClickTogglesAlwaysOnTopAndSymbolFollows) {
    hover(true);
    const QRectF pin = view->currentLayout().hitRegions.back().rect;
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, pin.center().toPoint());
    EXPECT_FALSE(settings->boolValue(QString::fromLatin1(keys::alwaysOnTop)));
    const auto& symbol = std::get<SymbolElement>(view->currentLayout().elements.back());
    EXPECT_EQ(symbol.symbol, Symbol::unpinned);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, pin.center().toPoint());
    EXPECT_TRUE(settings->boolValue(QString::fromLatin1(keys::alwaysOnTop)));
}

TEST_F(ContentViewTest, GearClickAsksForSettings) {
    QSignalSpy spy(view.get(), &ContentView::openSettingsRequested);
    hover(true);
    const QRectF gear = view->currentLayout().hitRegions.front().rect;
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, gear.center().toPoint());
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(ContentViewTest, ContextMenuTogglesWriteOnlyTheirSetting) {
    const QList<QAction*> actions = menuActions();
    ASSERT_GE(actions.size(), 4);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("最前面に表示"));
    EXPECT_TRUE(actions[0]->isCheckable());
    EXPECT_TRUE(actions[0]->isChecked());
    EXPECT_EQ(actions[1]->text(), QStringLiteral("画面端に吸着"));
    actions[1]->trigger();
    EXPECT_FALSE(settings->boolValue(QString::fromLatin1(keys::snapToEdges)));
    EXPECT_TRUE(settings->display().alwaysOnTop);

    QSignalSpy about(view.get(), &ContentView::openAboutRequested);
    actions[3]->trigger();
    EXPECT_EQ(about.count(), 1);
    EXPECT_EQ(menuActions()[1]->isChecked(), false);
}

// With machines listed, the menu opens with their submenu; a choice asks for that machine.
TEST_F(ContentViewTest, MachineMenuOffersThisMachineAndEachListedOne) {
    writeRemoteMachines(*settings,
                        {{QStringLiteral("NAS"), QStringLiteral("http://127.0.0.1:9/m"), {}}});
    const QList<QAction*> actions = menuActions();
    ASSERT_NE(actions[0]->menu(), nullptr);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("表示するマシン"));
    const QList<QAction*> machines = actions[0]->menu()->actions();
    ASSERT_EQ(machines.size(), 2);
    EXPECT_TRUE(machines[0]->isChecked()) << "this machine is shown";
    QSignalSpy chosen(view.get(), &ContentView::showMachineRequested);
    machines[1]->trigger();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toString(), QStringLiteral("NAS"));
}

TEST_F(ContentViewTest, LauncherEntriesOpenByIndex) {
    int opened = -1;
    view->setLauncher(
        [] {
            return std::vector<LauncherMenuEntry>{
                {QStringLiteral("Kumo & Sora"), QStringLiteral("天気メモ"), QIcon()}};
        },
        [&opened](int index) { opened = index; });
    const QList<QAction*> actions = menuActions();
    // What the menu shows: an "&" of outside text stays one, not a shortcut's mark.
    const auto found = std::find_if(actions.begin(), actions.end(), [](QAction* action) {
        return action->iconText() == QStringLiteral("Kumo & Sora — 天気メモ（未インストール）");
    });
    ASSERT_NE(found, actions.end());
    EXPECT_TRUE((*found)->icon().isNull());
    (*found)->trigger();
    EXPECT_EQ(opened, 0);
}

TEST_F(ContentViewTest, SizeFollowsBlocksAndUnchangedInputsDoNotRedraw) {
    // A clock that stands still: a second passing would move the seconds bar.
    view->setWallClock(
        [] { return std::chrono::system_clock::time_point{std::chrono::seconds{1796562330}}; });
    const QSize full = view->size();
    QSignalSpy changed(view.get(), &ContentView::layoutChanged);
    view->relayout();
    EXPECT_EQ(changed.count(), 0);

    settings->setBool(shownKey(Block::cpu), false);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_LT(view->height(), full.height());
    EXPECT_EQ(view->width(), full.width());
}

// The desktop turning dark while the panel shows: the panel repaints by itself, all of it,
// in the new colours, nothing of the light look kept (a graph's track, a tinted symbol).
TEST_F(ContentViewTest, RepaintsInTheNewColoursWhenTheDesktopTurnsDark) {
    using namespace std::chrono_literals;
    view->setWallClock([] { return std::chrono::system_clock::time_point{1796562330s}; });
    view->setHovering(true); // the controls' symbols too
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    const QImage light = view->grab().toImage();

    struct Repaints : QObject {
        QRegion painted;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                painted += static_cast<QPaintEvent*>(event)->region();
            }
            return QObject::eventFilter(watched, event);
        }
    } repaints;
    view->installEventFilter(&repaints);
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Window, QColor(0x24, 0x24, 0x26));
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    const bool repainted =
        QTest::qWaitFor([&] { return (QRegion(view->rect()) - repaints.painted).isEmpty(); });
    view->removeEventFilter(&repaints);
    const QImage shown =
        view->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage expected(view->size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    {
        QPainter painter(&expected);
        PaintCache fresh;
        panelPainter::paint(painter, view->currentLayout(), Theme::fromPalette(dark), fresh);
    }
    QApplication::setPalette(saved);
    EXPECT_TRUE(repainted);
    EXPECT_NE(shown, light.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    EXPECT_EQ(shown, expected);
}

TEST_F(ContentViewTest, ControlsShowTheirTooltips) {
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    hover(true);
    const QRectF pin = view->currentLayout().hitRegions.back().rect;
    const QPoint at = pin.center().toPoint();
    QHelpEvent help(QEvent::ToolTip, at, view->mapToGlobal(at));
    QCoreApplication::sendEvent(view.get(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("最前面に表示中（クリックでデスクトップ張り付き）"));
    QToolTip::hideText();
}

// Hiding, as QWidget's destructor does, once set off a settings write; a view half
// destroyed must not lay itself out (or do anything else) in answer to it.
class ChangeSettingOnHide : public QObject {
public:
    explicit ChangeSettingOnHide(SettingsStore& settings) : settings_(settings) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide) {
            settings_.setBool(shownKey(Block::cpu), false);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    SettingsStore& settings_;
};

TEST_F(ContentViewTest, DestroyingAShownViewIgnoresWhatHidingSetsOff) {
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    int layouts = 0;
    QObject::connect(view.get(), &ContentView::layoutChanged, [&layouts] { ++layouts; });
    ChangeSettingOnHide filter(*settings);
    view->installEventFilter(&filter);
    view.reset();
    EXPECT_EQ(layouts, 0);
    EXPECT_FALSE(settings->boolValue(shownKey(Block::cpu)));
    stats->tick(); // nothing listens any more
}

} // namespace
} // namespace trovimo
