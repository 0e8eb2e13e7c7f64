#include "window/SnapController.h"
#include "support/ManualWakeTimer.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

namespace trovimo {
namespace {

// Work area 40 px in from the left and 30 px from the top of a 1280 x 800 screen.
const QRect area(40, 30, 1240, 770);
constexpr int width = 190;
constexpr int height = 140;

TEST(SnapGeometry, MovesOnlyNearEdges) {
    constexpr int bottom = 30 + 770;
    const std::tuple<const char*, QRect, std::optional<QPoint>> cases[] = {
        {"exactly 24 px does not snap", QRect{64, 300, width, height}, std::nullopt},
        {"23 px snaps", QRect{63, 300, width, height}, QPoint(48, 300)},
        {"overhanging the left edge", QRect{20, 300, width, height}, QPoint(48, 300)},
        {"exactly 24 px above the bottom edge", QRect{300, bottom - 24 - height, width, height},
         std::nullopt},
        {"bottom-left corner, both axes in one move",
         QRect{50, bottom - height - 10, width, height}, QPoint(48, bottom - height - 8)},
        {"already 8 px inside: at rest", QRect{48, 38, width, height}, std::nullopt},
        {"as wide as the area: the left edge wins", QRect{45, 300, 1230, height}, QPoint(48, 300)},
        {"as high as the area: the bottom edge wins", QRect{300, 35, width, 760},
         QPoint(300, bottom - 760 - 8)},
    };
    for (const auto& [name, frame, expected] : cases) {
        EXPECT_EQ(SnapController::snappedOrigin(frame, area), expected) << name;
    }
}

class SnapDebounce : public ::testing::Test {
protected:
    void SetUp() override {
        auto manual = std::make_unique<test::ManualWakeTimer>();
        timer = manual.get();
        controller = std::make_unique<SnapController>(std::move(manual));
        controller->setAnimationDuration(1);
        area = QGuiApplication::primaryScreen()->availableGeometry();
        window.setFixedSize(width, height);
        window.move(area.center());
        window.show();
        QCoreApplication::processEvents();
        controller->attach(window);
        timer->armed.clear();
    }

    void moveTo(QPoint origin) {
        window.move(origin);
        QCoreApplication::processEvents();
    }

    QWidget window;
    QRect area;
    test::ManualWakeTimer* timer = nullptr;
    std::unique_ptr<SnapController> controller;
};

TEST_F(SnapDebounce, EachMoveRestartsTheDelayAndOnlyTheLastPauseSnaps) {
    QSignalSpy snaps(controller.get(), &SnapController::snapped);
    for (int step = 0; step < 5; ++step) {
        moveTo(area.topLeft() + QPoint(100 - step * 20, 200));
    }
    EXPECT_EQ(timer->armed.size(), 5u);
    EXPECT_EQ(timer->armed.back(), std::chrono::milliseconds(300));
    EXPECT_TRUE(controller->isSnapPending());
    EXPECT_EQ(snaps.count(), 0);

    timer->fire();
    ASSERT_EQ(snaps.count(), 1);
    const QPoint target = area.topLeft() + QPoint(8, 200);
    EXPECT_EQ(snaps.at(0).at(0).toPoint(), target);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.pos() == target; }));

    // The animation's own moves restart the delay once more; that snap finds nothing to do.
    timer->fire();
    EXPECT_EQ(snaps.count(), 1);
    EXPECT_EQ(window.pos(), target);
}

TEST_F(SnapDebounce, DisabledIgnoresMovesAndPendingSnaps) {
    moveTo(area.topLeft() + QPoint(10, 200));
    ASSERT_EQ(timer->armed.size(), 1u);
    controller->setEnabled(false);
    moveTo(area.topLeft() + QPoint(12, 200));
    EXPECT_EQ(timer->armed.size(), 1u) << "a move while disabled restarts nothing";
    timer->fire();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.pos(), area.topLeft() + QPoint(12, 200));

    controller->setEnabled(true);
    moveTo(area.topLeft() + QPoint(14, 200));
    EXPECT_EQ(timer->armed.size(), 2u);
    timer->fire();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.pos() == area.topLeft() + QPoint(8, 200); }));
}

TEST_F(SnapDebounce, AttachingTheSameWindowAgainWatchesItOnce) {
    controller->attach(window);
    moveTo(area.topLeft() + QPoint(300, 200));
    EXPECT_EQ(timer->armed.size(), 1u);

    QWidget other;
    controller->attach(other);
    moveTo(area.topLeft() + QPoint(310, 200));
    EXPECT_EQ(timer->armed.size(), 1u) << "the old window is no longer watched";
}

TEST_F(SnapDebounce, LeavesAWindowOnNoScreenAlone) {
    QSignalSpy snaps(controller.get(), &SnapController::snapped);
    moveTo(QPoint(-50000, -50000));
    timer->fire();
    EXPECT_EQ(snaps.count(), 0);
}

} // namespace
} // namespace trovimo
