#include "window/FrameAutosave.h"

#include "model/SettingsStore.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace trovimo {
namespace {

TEST(FrameAutosaveFormat, ParsesOnlyWellFormedFrames) {
    EXPECT_EQ(FrameAutosave::parseFrame(QStringLiteral("10 -20 190 300")),
              QRect(10, -20, 190, 300));
    EXPECT_EQ(FrameAutosave::parseFrame(QStringLiteral("  10  20 190 300 ")),
              QRect(10, 20, 190, 300));
    for (const char* bad : {"", "10 20 190", "10 20 190 300 5", "a b c d", "10 20 0 300",
                            "10 20 190 -5", "1e9 20 190 300", "99999999999 0 190 300",
                            "10,20,190,300", "-2147483648 0 190 300", "0 -2147483648 190 300"}) {
        EXPECT_FALSE(FrameAutosave::parseFrame(QString::fromLatin1(bad))) << bad;
    }
    const QRect frame(-1200, 45, 190, 333);
    EXPECT_EQ(FrameAutosave::parseFrame(FrameAutosave::formatFrame(frame)), frame);
}

TEST(FrameAutosavePlacement, KeepsReachableFramesAndBringsLostOnesBack) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QRect work(0, 28, 1920, 1052);
    const QSize size(190, 400);
    // On either screen, straddling both, or partly off the edge: stays.
    for (const QPoint origin : {QPoint(100, 100), QPoint(2500, 500), QPoint(1850, 200),
                                QPoint(-150, 100), QPoint(1700, 1040)}) {
        EXPECT_EQ(FrameAutosave::placeOnScreens(QRect(origin, size), screens, work), origin)
            << origin.x() << "," << origin.y();
    }
    // A monitor gone (the frame pulled into the work area) is window_e2e.sh's third run.
    // Below every screen, or only a sliver (10 px) left on one.
    EXPECT_EQ(FrameAutosave::placeOnScreens(QRect(QPoint(100, 5000), size), screens, work),
              QPoint(100, 1080 - 400));
    EXPECT_EQ(FrameAutosave::placeOnScreens(QRect(QPoint(-180, 100), size), screens, work),
              QPoint(0, 100));
    // Taller than the work area: its top stays reachable.
    EXPECT_EQ(
        FrameAutosave::placeOnScreens(QRect(QPoint(100, -5000), QSize(190, 2000)), screens, work),
        QPoint(100, 28));
}

class FrameAutosaveStore : public ::testing::Test {
protected:
    QTemporaryDir directory;
    SettingsStore settings{directory.filePath(QStringLiteral("settings.conf"))};
    const QString key = FrameAutosave::settingsKey(QStringLiteral("TrovimoMain"));
};

TEST_F(FrameAutosaveStore, SavesMovesAndRestoresThemInTheNextWindow) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint origin = area.topLeft() + QPoint(120, 80);
    {
        FrameAutosave autosave(settings, QStringLiteral("TrovimoMain"));
        QWidget window;
        window.resize(190, 200);
        autosave.attach(window);
        window.show();
        // Placement by the program is not the user's choice and writes nothing.
        window.move(area.topLeft() + QPoint(10, 10));
        QCoreApplication::processEvents();
        autosave.save();
        EXPECT_FALSE(settings.contains(key));

        autosave.noteUserMove();
        window.move(origin);
        QCoreApplication::processEvents();
        autosave.save();
        EXPECT_EQ(window.pos(), origin);
        EXPECT_EQ(settings.stringValue(key), FrameAutosave::formatFrame(window.frameGeometry()));
    }
    FrameAutosave autosave(settings, QStringLiteral("TrovimoMain"));
    QWidget window;
    window.resize(190, 260); // the content grew meanwhile: only the origin comes back
    autosave.attach(window);
    EXPECT_EQ(window.pos(), origin);
}

} // namespace
} // namespace trovimo
