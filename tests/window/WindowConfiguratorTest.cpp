#include "window/WindowConfigurator.h"
#include "window/MainWindowVisibility.h"

#include "model/SettingsStore.h"
#include "support/ManualWakeTimer.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace trovimo {
namespace {

class Configured : public ::testing::Test {
protected:
    Configured() {
        panel.setMinimumWidth(190);
        auto* layout = new QVBoxLayout(&panel);
        label = new QLabel(QStringLiteral("CPU"), &panel);
        label->setMinimumHeight(150);
        button = new QPushButton(QStringLiteral("pin"), &panel);
        layout->addWidget(label);
        layout->addWidget(button);
    }

    void showAt(QPoint origin) {
        panel.move(origin);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }

    QTemporaryDir directory;
    SettingsStore settings{directory.filePath(QStringLiteral("settings.conf"))};
    WindowConfigurator configurator{settings};
    QWidget panel;
    QLabel* label = nullptr;
    QPushButton* button = nullptr;
};

TEST_F(Configured, AShownWindowWithOtherFlagsIsShownAgainAfterTheChange) {
    panel.setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    showAt(QGuiApplication::primaryScreen()->availableGeometry().center());
    configurator.apply(panel, true, true);
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.windowFlags() & Qt::WindowStaysOnTopHint, Qt::WindowFlags());
}

TEST_F(Configured, VisibleOnlyOnceShown) {
    MainWindowVisibility visibility;
    const auto query = visibility.query();
    EXPECT_TRUE(query()) << "no main window yet: sample anyway";
    visibility.setWindow(&panel);
    configurator.apply(panel, true, true);
    EXPECT_FALSE(query()) << "configured but hidden";
    showAt(QGuiApplication::primaryScreen()->availableGeometry().center());
    EXPECT_TRUE(query());
}

TEST_F(Configured, FollowsTheSettings) {
    configurator.follow(panel);
    settings.setBool(QStringLiteral("snapToEdges"), false);
    EXPECT_FALSE(configurator.snapController().isEnabled());
    settings.setBool(QStringLiteral("snapToEdges"), true);
    EXPECT_TRUE(configurator.snapController().isEnabled());
}

TEST_F(Configured, DraggedByItsSurfaceButNotByControls) {
    configurator.setControlHitTest([](QPoint point) { return point.y() < 5; });
    configurator.apply(panel, true, false);
    const QPoint origin =
        QGuiApplication::primaryScreen()->availableGeometry().topLeft() + QPoint(200, 150);
    showAt(origin);

    // The label passes the press on to the window, which follows the pointer (the
    // offscreen platform has no window manager to ask).
    const QPoint grab = label->geometry().center();
    QTest::mousePress(&panel, Qt::LeftButton, {}, grab);
    QTest::mouseMove(&panel, grab + QPoint(30, 20));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, grab + QPoint(30, 20));
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.pos() == origin + QPoint(30, 20); }));

    const QPoint moved = panel.pos();
    QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
    QTest::mouseMove(button, button->rect().center() + QPoint(40, 0));
    QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center() + QPoint(40, 0));
    QTest::mousePress(&panel, Qt::LeftButton, {}, QPoint(50, 2)); // a painted control
    QTest::mouseMove(&panel, QPoint(90, 2));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(90, 2));
    QCoreApplication::processEvents();
    EXPECT_EQ(panel.pos(), moved);
}

TEST(ConfiguredSnapping, TakingHoldOfTheWindowStopsASnapInProgress) {
    QTemporaryDir directory;
    SettingsStore settings(directory.filePath(QStringLiteral("settings.conf")));
    auto manual = std::make_unique<test::ManualWakeTimer>();
    test::ManualWakeTimer* timer = manual.get();
    WindowConfigurator configurator(settings, std::move(manual));
    configurator.snapController().setAnimationDuration(2000);
    QWidget panel;
    panel.setMinimumHeight(200);
    configurator.apply(panel, true, true);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint start = area.topLeft() + QPoint(23, 100);
    panel.move(start);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));

    timer->fire(); // 23 px from the left edge: a slow animated snap begins
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.pos().x() < start.x(); }));
    QTest::mousePress(&panel, Qt::LeftButton, {}, QPoint(20, 20));
    const QPoint held = panel.pos();
    QTest::qWait(200);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(panel.pos(), held);
}

// A move the program did not make (the window manager's: a keyboard move, another program)
// is kept like a drag and snapped the same way; the program's own placement is not saved.
TEST(ConfiguredSnapping, AMoveByTheWindowManagerIsSnappedAndSaved) {
    QTemporaryDir directory;
    SettingsStore settings(directory.filePath(QStringLiteral("settings.conf")));
    auto manual = std::make_unique<test::ManualWakeTimer>();
    test::ManualWakeTimer* timer = manual.get();
    WindowConfigurator configurator(settings, std::move(manual));
    configurator.snapController().setAnimationDuration(1);
    const QString key = FrameAutosave::settingsKey(QStringLiteral("TrovimoMain"));
    QWidget panel;
    panel.setFixedSize(190, 200);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    panel.move(area.topLeft() + QPoint(100, 10)); // settled to 8 px from the top when shown
    configurator.apply(panel, true, true);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    EXPECT_EQ(panel.pos(), area.topLeft() + QPoint(100, 8));
    timer->fire();
    configurator.frameAutosave().save();
    EXPECT_FALSE(settings.contains(key)) << "the program's own placement";

    panel.move(area.topLeft() + QPoint(15, 300));
    timer->fire();
    const QPoint snapped = area.topLeft() + QPoint(8, 300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.pos() == snapped; })) << panel.pos().x();
    const QString saved = FrameAutosave::formatFrame(QRect(snapped, panel.frameGeometry().size()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.stringValue(key) == saved; }))
        << settings.stringValue(key).value_or(QStringLiteral("(none)")).toStdString();
}

} // namespace
} // namespace trovimo
