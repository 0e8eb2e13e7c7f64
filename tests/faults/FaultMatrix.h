// The fault matrix's harness: the real program under Xvfb and openbox (which
// with-x-server.sh starts for each test), with its own HOME and settings, its standard error
// and exit collected; a loopback feed server; xdotool to find, click and read the panel.
#pragma once

#include "support/LocalHttpServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <unistd.h>
#include <utility>
#include <xcb/xcb.h>

namespace trovimo::faults {

inline const QString programPath = QStringLiteral(TROVIMO_PROGRAM);
inline const QString samplePath = QStringLiteral(TROVIMO_SAMPLE_PROGRAM);

struct Outcome {
    bool started = false;
    bool exitedBySignal = false;
    int exitCode = -1;
    QString errors;
};

class FaultMatrix : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            GTEST_SKIP() << "no X server: CTest runs this program through with-x-server.sh";
        }
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(configDir());
    }

    QString configDir() const { return home.path() + QStringLiteral("/.config/Trovimo"); }
    QString settingsFile() const { return configDir() + QStringLiteral("/Trovimo.conf"); }

    void writeSettings(const QByteArray& contents) {
        QFile file(settingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/.local/share"));
        for (const auto& [key, value] : extraEnvironment) {
            if (value.isNull()) {
                env.remove(key);
            } else {
                env.insert(key, value);
            }
        }
        return env;
    }

    static bool isRoot() { return geteuid() == 0; }

    // Runs `command` (the program, or a shell line that ends by exec'ing it) for `seconds`,
    // then asks it to quit with SIGTERM, the way a session ends. `whileRunning` gets the
    // process id first, once the process started.
    Outcome runFor(const QString& program, const QStringList& arguments, int seconds,
                   const std::function<void(qint64)>& whileRunning = {}) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(program, arguments);
        Outcome outcome;
        outcome.started = process.waitForStarted(10000);
        if (!outcome.started) {
            return outcome;
        }
        if (whileRunning) {
            whileRunning(process.processId());
        }
        QTest::qWait(seconds * 1000);
        if (process.state() == QProcess::Running) {
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        }
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(3000);
        }
        outcome.exitedBySignal = process.exitStatus() == QProcess::CrashExit;
        outcome.exitCode = process.exitCode();
        outcome.errors = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    }

    Outcome runProgram(int seconds, const std::function<void(qint64)>& whileRunning = {}) {
        return runFor(programPath, {}, seconds, whileRunning);
    }

    // The program with `directory` read-only: a read-only bind mount in a private mount
    // namespace as root (whom permissions do not stop), its permissions otherwise.
    Outcome runWithReadOnly(const QString& directory, int seconds,
                            const std::function<void(qint64)>& whileRunning = {}) {
        QFile::setPermissions(directory, QFile::ReadOwner | QFile::ExeOwner);
        const QString readOnly =
            QStringLiteral("mount --bind '%1' '%1' && mount -o remount,bind,ro '%1'")
                .arg(directory);
        const Outcome outcome =
            isRoot() ? runFor(QStringLiteral("unshare"), unshare(readOnly, programPath, {}, false),
                              seconds, whileRunning)
                     : runProgram(seconds, whileRunning);
        QFile::setPermissions(directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return outcome;
    }

    // unshare's arguments for `setup`, then exec'ing `program` with `arguments`, in a private
    // mount (and, with `network`, network) namespace.
    static QStringList unshare(const QString& setup, const QString& program,
                               const QString& arguments = {}, bool network = true) {
        QStringList line = QStringLiteral("--mount --propagation private sh -c").split(u' ');
        line.append(QStringLiteral("%1 && exec '%2' %3").arg(setup, program, arguments));
        if (network) {
            line.prepend(QStringLiteral("--net"));
        }
        return line;
    }

    // The program for three seconds after `setup`, isolated that way.
    Outcome runIsolated(const QString& setup) {
        return runFor(QStringLiteral("unshare"), unshare(setup, programPath), 3);
    }

    // The sample tool's last JSON line, run the same way.
    QJsonObject isolatedSample(const QString& setup) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral("unshare"),
                      unshare(setup, samplePath, QStringLiteral("--count 2 --interval 0.2")));
        process.waitForFinished(30000);
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        const QList<QByteArray> lines = process.readAllStandardOutput().trimmed().split('\n');
        return QJsonDocument::fromJson(lines.last()).object();
    }

    // xdotool on the test's X server, after "search" for the panel of `pid` (which waits for
    // it and leaves it on the window stack as %1); its standard output.
    static QByteArray xdotool(const QString& before, qint64 pid, const QString& after = {}) {
        QProcess tool;
        tool.start(QStringLiteral("xdotool"),
                   QStringLiteral("%1 search --sync --onlyvisible --pid %2 --name ^Trovimo$ %3")
                       .arg(before, QString::number(pid), after)
                       .split(QLatin1Char(' '), Qt::SkipEmptyParts));
        // The events go on meanwhile (a feed server in this process answers), and a loaded
        // machine may take long to show a panel starting cold.
        if (!QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 60000)) {
            tool.kill(); // a panel that never shows
            tool.waitForFinished();
        }
        return tool.readAllStandardOutput().trimmed();
    }

    // Clicks the pin (shown on hover, top right), which writes the alwaysOnTop setting.
    static void clickPin(qint64 pid) {
        xdotool({}, pid,
                QStringLiteral("mousemove --window %1 177 12 sleep 0.5 click 1 sleep 0.5"));
    }

    // The panel as the X server holds it, the pointer away from it, once it has painted: two
    // grabs in a row agree (the first paint and any resize are over) and show more than one
    // colour (not a window still waiting for its first paint). Null if that never happens.
    static QImage panelImage(qint64 pid) {
        const auto window =
            static_cast<xcb_window_t>(xdotool(QStringLiteral("mousemove 0 799"), pid).toUInt());
        if (window == 0) {
            return QImage();
        }
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const auto grab = [&] {
            QImage pixels;
            auto* geometry =
                xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
            auto* image = geometry == nullptr
                              ? nullptr
                              : xcb_get_image_reply(
                                    connection,
                                    xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0,
                                                  0, geometry->width, geometry->height, ~0u),
                                    nullptr);
            if (image != nullptr && xcb_get_image_data_length(image) ==
                                        4 * int{geometry->width} * int{geometry->height}) {
                pixels = QImage(xcb_get_image_data(image), geometry->width, geometry->height,
                                QImage::Format_RGB32)
                             .copy();
            }
            std::free(image);
            std::free(geometry);
            return pixels;
        };
        const auto painted = [](const QImage& image) {
            const auto* first = reinterpret_cast<const QRgb*>(image.constBits());
            return !image.isNull() && std::any_of(first, first + image.width() * image.height(),
                                                  [&](QRgb pixel) { return pixel != *first; });
        };
        QImage pixels;
        QImage previous;
        for (int i = 0; i < 50 && !(painted(pixels) && pixels == previous); ++i) {
            QTest::qWait(300);
            previous = std::exchange(pixels, grab());
        }
        xcb_disconnect(connection);
        return painted(pixels) ? pixels : QImage();
    }

    // The panel's red (the update badge, the disk alert) cropped to where it is: what an
    // alert shows, whatever else in the panel moves from one run to the next. Null when
    // nothing is red (orange, the warning colour, is not).
    static QImage redInk(const QImage& panel) {
        QRect bounds;
        for (int y = 0; y < panel.height(); ++y) {
            for (int x = 0; x < panel.width(); ++x) {
                const QRgb pixel = panel.pixel(x, y);
                if (qRed(pixel) > qGreen(pixel) + 150 && qRed(pixel) > qBlue(pixel) + 150) {
                    bounds |= QRect(x, y, 1, 1);
                }
            }
        }
        return bounds.isEmpty() ? QImage() : panel.copy(bounds);
    }

    // The red of the panel with the clock and the changing sections off and `settings` added,
    // once `ready` holds and the panel painted. With `alert`, until red shows; without, a
    // second after `ready`: what should not show has had its chance to. A loaded machine may
    // take long to start the panel cold and its feed helper: each wait ends after a minute.
    QImage alertWith(const QByteArray& settings, const std::function<bool()>& ready, bool alert) {
        writeSettings("[General]\nshowClock=false\nshowCPU=false\nshowGPU=false\n"
                      "showMemory=false\nshowNetwork=false\n" +
                      settings);
        QImage ink;
        QImage panel;
        const Outcome outcome = runProgram(0, [&](qint64 pid) {
            (void)QTest::qWaitFor(ready, 60000); // said below when it never held
            if (!alert) {
                QTest::qWait(1000);
            }
            QElapsedTimer waited;
            waited.start();
            do {
                panel = panelImage(pid);
                ink = redInk(panel);
            } while ((panel.isNull() || (alert && ink.isNull())) && waited.elapsed() < 60000);
        });
        expectCleanExit(outcome);
        EXPECT_FALSE(panel.isNull() || (alert && ink.isNull()))
            << (panel.isNull() ? "the panel never showed" : "no alert")
            << (ready() ? "" : ", never ready") << "; its log: " << outcome.errors.toStdString();
        return ink;
    }

    static void expectCleanExit(const Outcome& outcome) {
        ASSERT_TRUE(outcome.started);
        EXPECT_FALSE(outcome.exitedBySignal) << outcome.errors.toStdString();
        EXPECT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
    }

    QByteArray settingsContents() const {
        QFile file(settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir home;
    std::vector<std::pair<QString, QString>> extraEnvironment;
};

// The settings line that points the update check at `server`.
inline QByteArray feedSetting(const test::LocalHttpServer& server) {
    return "updateFeedURL=" + server.url(QStringLiteral("/trovimo/version.json")).toEncoded() +
           "\n";
}

} // namespace trovimo::faults
