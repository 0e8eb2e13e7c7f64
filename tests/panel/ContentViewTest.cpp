#include "panel/ContentView.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "support/ManualWakeTimer.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QEnterEvent>
#include <QMenu>
#include <QPaintEvent>
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
        stats = std::make_unique<StatsStore>(*settings, StatsReaders{},
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
    EXPECT_EQ(symbol.symbol, Symbol::pinSlash);
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

TEST_F(ContentViewTest, LauncherEntriesOpenByIndex) {
    int opened = -1;
    view->setLauncher(
        [] {
            return std::vector<LauncherMenuEntry>{
                {QStringLiteral("Kumo"), QStringLiteral("天気メモ"), QIcon()}};
        },
        [&opened](int index) { opened = index; });
    const QList<QAction*> actions = menuActions();
    const auto found = std::find_if(actions.begin(), actions.end(), [](QAction* action) {
        return action->text() == QStringLiteral("Kumo — 天気メモ（未インストール）");
    });
    ASSERT_NE(found, actions.end());
    EXPECT_TRUE((*found)->icon().isNull());
    (*found)->trigger();
    EXPECT_EQ(opened, 0);
}

TEST_F(ContentViewTest, SizeFollowsBlocksAndUnchangedInputsDoNotRedraw) {
    const QSize full = view->size();
    EXPECT_EQ(full.width(), 190);
    QSignalSpy changed(view.get(), &ContentView::layoutChanged);
    view->relayout();
    EXPECT_EQ(changed.count(), 0);

    settings->setBool(QString::fromLatin1(keys::showCPU), false);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_LT(view->height(), full.height());
    EXPECT_EQ(view->width(), 190);
}

// Counts paint events and the area they cover.
class PaintCounter : public QObject {
public:
    int paints = 0;
    QRegion painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return QObject::eventFilter(watched, event);
    }
};

TEST_F(ContentViewTest, NothingRepaintsWhileNothingChanges) {
    // A clock that stands still: a real one may pass a second (the seconds bar moves) while
    // the test runs.
    using namespace std::chrono_literals;
    view->setWallClock([] { return std::chrono::system_clock::time_point{1796562330s + 400ms}; });
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    QCoreApplication::processEvents();
    PaintCounter counter;
    view->installEventFilter(&counter);
    view->relayout();
    view->relayout();
    settings->setBool(QString::fromLatin1(keys::showClockYear), false); // no change of value
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);

    settings->setBool(QString::fromLatin1(keys::showGPU), false);
    QCoreApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
    view->removeEventFilter(&counter);
}

// Shows the view on a wall clock 0.9 s into second 30 of a minute; the clock moves on by
// what the returned offset is set to.
std::shared_ptr<std::chrono::milliseconds> showAtSecondThirty(ContentView& view) {
    using namespace std::chrono_literals;
    const std::chrono::system_clock::time_point base{1796562330s + 900ms};
    auto offset = std::make_shared<std::chrono::milliseconds>(0ms);
    view.setWallClock([base, offset] { return base + *offset; });
    view.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();
    return offset;
}

TEST_F(ContentViewTest, SecondsBarRepaintsOnlyItsOwnRectangle) {
    using namespace std::chrono_literals;
    const auto offset = showAtSecondThirty(*view);
    ASSERT_TRUE(view->currentLayout().secondsBar);
    const QRectF bar =
        elementRect(view->currentLayout().elements[*view->currentLayout().secondsBar]);

    PaintCounter counter;
    view->installEventFilter(&counter);
    *offset = 200ms; // second 31 once the bar is evaluated again
    // Due a second in; a loaded machine may run it late.
    for (int waited = 0; counter.paints == 0 && waited < 3000; waited += 50) {
        QTest::qWait(50);
    }
    view->removeEventFilter(&counter);
    ASSERT_GE(counter.paints, 1);
    // The store's refresh (started by showing the view) may move the bar before the bar's
    // own timer does; it repaints with the margins every changed element gets.
    EXPECT_TRUE(bar.adjusted(-2, -3, 2, 3).toAlignedRect().contains(counter.painted.boundingRect()))
        << "painted " << counter.painted.boundingRect().height() << " rows";
    const auto& gauge = std::get<CapacityBarElement>(
        view->currentLayout().elements[*view->currentLayout().secondsBar]);
    EXPECT_DOUBLE_EQ(gauge.gauge.fraction, 31 / 60.0);
}

// Refreshes re-evaluate the seconds bar; while they come every second, the bar's own timer
// must not wake the panel in between (the refresh already moved it).
TEST_F(ContentViewTest, RefreshesEverySecondCarryTheSecondsBar) {
    using namespace std::chrono_literals;
    // A timer aimed at second boundaries would fire 100 ms in.
    const auto offset = showAtSecondThirty(*view);
    const auto fraction = [this] {
        const PanelLayoutResult& layout = view->currentLayout();
        return std::get<CapacityBarElement>(layout.elements[*layout.secondsBar]).gauge.fraction;
    };
    EXPECT_DOUBLE_EQ(fraction(), 30 / 60.0);

    PaintCounter counter;
    view->installEventFilter(&counter);
    QTest::qWait(500);
    *offset = 500ms; // second 31: the refresh moves the bar
    const auto refreshed = std::chrono::steady_clock::now();
    view->relayout();
    EXPECT_DOUBLE_EQ(fraction(), 31 / 60.0);
    QTest::qWait(700);
    const bool inTime = std::chrono::steady_clock::now() - refreshed < 1000ms;
    view->removeEventFilter(&counter);
    if (!inTime) {
        GTEST_SKIP() << "the machine was too slow to tell the timers apart";
    }
    EXPECT_EQ(counter.paints, 1);

    // Without refreshes the bar keeps moving on its own, once a second.
    *offset = 1500ms; // second 32
    for (int waited = 0; fraction() != 32 / 60.0 && waited < 3000; waited += 50) {
        QTest::qWait(50);
    }
    EXPECT_DOUBLE_EQ(fraction(), 32 / 60.0);
}

TEST_F(ContentViewTest, ANewMinuteRepaintsTheClockNotThePanel) {
    using namespace std::chrono_literals;
    const std::chrono::system_clock::time_point base{1796562330s};
    auto offset = std::make_shared<std::chrono::seconds>(0s);
    view->setWallClock([base, offset] { return base + *offset; });
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    QCoreApplication::processEvents();
    const std::vector<PanelElement> before = view->currentLayout().elements;

    PaintCounter counter;
    view->installEventFilter(&counter);
    *offset = 60s;
    view->relayout();
    for (int waited = 0; counter.paints == 0 && waited < 3000; waited += 50) {
        QTest::qWait(50);
    }
    view->removeEventFilter(&counter);
    ASSERT_GE(counter.paints, 1);
    const auto& after = view->currentLayout().elements;
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t index = 0; index < after.size(); ++index) {
        const QRect rect = elementRect(after[index]).toAlignedRect();
        if (after[index] != before[index]) {
            EXPECT_TRUE((QRegion(rect) - counter.painted).isEmpty()) << "changed element " << index;
        }
    }
    // The time changed; the blocks below the clock did not.
    EXPECT_LT(counter.painted.boundingRect().bottom(), view->height() / 2)
        << "painted down to row " << counter.painted.boundingRect().bottom();
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

TEST_F(ContentViewTest, WindowSettingsReachTheHookOnEveryUpdate) {
    std::vector<std::pair<bool, bool>> calls;
    view->setWindowSettingsHook([&calls](bool top, bool snap) { calls.emplace_back(top, snap); });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls.back(), std::make_pair(true, true));
    settings->setBool(QString::fromLatin1(keys::alwaysOnTop), false);
    EXPECT_EQ(calls.back(), std::make_pair(false, true));
    // Configuring the window costs X round trips: a refresh that changes neither setting
    // nor the panel's size leaves it alone.
    const std::size_t before = calls.size();
    view->relayout();
    stats->tick();
    EXPECT_EQ(calls.size(), before);
}

// Hiding, as QWidget's destructor does, once set off a settings write; a view half
// destroyed must not lay itself out (or do anything else) in answer to it.
class ChangeSettingOnHide : public QObject {
public:
    explicit ChangeSettingOnHide(SettingsStore& settings) : settings_(settings) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide) {
            settings_.setBool(QString::fromLatin1(keys::showCPU), false);
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
    EXPECT_FALSE(settings->boolValue(QString::fromLatin1(keys::showCPU)));
    stats->tick(); // nothing listens any more
}

} // namespace
} // namespace trovimo
