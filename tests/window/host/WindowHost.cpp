// A stand-in for the panel in end-to-end tests: a plain 190-wide widget configured like
// the main panel, with a statistics store over a scripted reader. Prints what a test needs
// ("window 0x…", "tick N", "pos x y w h") and takes commands on stdin:
//   alwaysOnTop 0|1, where, measure, quit.
// "measure" prints the mean cost of one visibility query and of one re-application.
// With --cover X,Y,W,H it shows an ordinary opaque window there instead (kept above other
// windows with --above). With --pixels "X,Y X,Y ..." it prints the screen's colour at each
// point ("pixel X Y #rrggbb") and quits.
#include "model/LocalSource.h"
#include "model/ReaderSampler.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "window/MainWindowVisibility.h"
#include "window/PlatformSelection.h"
#include "window/WindowConfigurator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QSocketNotifier>
#include <QVBoxLayout>

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

class ScriptedCPU final : public trovimo::SampleSource<trovimo::CPULoad> {
public:
    std::optional<trovimo::CPULoad> read() override {
        trovimo::CPULoad load;
        load.total = 0.25;
        return load;
    }
};

void say(const QString& line) {
    std::cout << line.toStdString() << std::endl; // flushed: the test reads it live
}

QString hexId(const QWidget& widget) {
    return QStringLiteral("0x%1").arg(widget.winId(), 0, 16);
}

int runCover(const QString& geometry, bool above) {
    const QStringList parts = geometry.split(QLatin1Char(','));
    if (parts.size() != 4) {
        return 2;
    }
    QWidget cover(nullptr, above ? Qt::Window | Qt::WindowStaysOnTopHint : Qt::Window);
    cover.setWindowTitle(QStringLiteral("cover"));
    cover.setAutoFillBackground(true);
    cover.setGeometry(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
    cover.show();
    say(QStringLiteral("cover %1").arg(hexId(cover)));
    return QApplication::exec();
}

int printPixels(const QString& points) {
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    for (const QString& point : points.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int x = point.section(QLatin1Char(','), 0, 0).toInt();
        const int y = point.section(QLatin1Char(','), 1, 1).toInt();
        say(QStringLiteral("pixel %1 %2 %3").arg(x).arg(y).arg(screen.pixelColor(x, y).name()));
    }
    return screen.isNull() ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (!trovimo::selectPlatform()) {
        return 1;
    }
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addOption(
        {QStringLiteral("settings"), QStringLiteral("settings file"), QStringLiteral("file")});
    parser.addOption({QStringLiteral("occlusion"), QStringLiteral("automatic|stacking"),
                      QStringLiteral("source"), QStringLiteral("automatic")});
    parser.addOption({QStringLiteral("cover"), QStringLiteral("x,y,w,h"), QStringLiteral("rect")});
    parser.addOption({QStringLiteral("above"), QStringLiteral("the cover stays above others")});
    parser.addOption(
        {QStringLiteral("pixels"), QStringLiteral("x,y ..."), QStringLiteral("points")});
    parser.process(application);
    if (parser.isSet(QStringLiteral("pixels"))) {
        return printPixels(parser.value(QStringLiteral("pixels")));
    }
    if (parser.isSet(QStringLiteral("cover"))) {
        return runCover(parser.value(QStringLiteral("cover")),
                        parser.isSet(QStringLiteral("above")));
    }

    trovimo::SettingsStore settings(parser.value(QStringLiteral("settings")));
    settings.registerDefaults(trovimo::defaultSettings());
    settings.setDouble(QString::fromLatin1(trovimo::keys::updateInterval), 0.2);

    std::vector<std::unique_ptr<trovimo::BlockSampler>> samplers;
    samplers.push_back(trovimo::readEveryTick(trovimo::Block::cpu, &trovimo::Figures::cpu,
                                              std::make_unique<ScriptedCPU>()));
    trovimo::StatsStore stats(settings,
                              std::make_unique<trovimo::LocalSource>(std::move(samplers)));

    trovimo::MainWindowVisibility visibility;
    const QString occlusion = parser.value(QStringLiteral("occlusion"));
    if (occlusion == QLatin1String("stacking")) {
        visibility.setOcclusionSource(trovimo::MainWindowVisibility::OcclusionSource::stacking);
    }
    stats.setVisibilityQuery(visibility.query());

    QWidget panel;
    panel.setMinimumWidth(190);
    visibility.setWindow(&panel);
    panel.setWindowTitle(QStringLiteral("Trovimo"));
    panel.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&panel);
    auto* label = new QLabel(QStringLiteral("Trovimo"), &panel);
    label->setMinimumHeight(120);
    layout->addWidget(label);

    trovimo::WindowConfigurator configurator(settings);
    const auto applyAll = [&] {
        const QString onTop = QString::fromLatin1(trovimo::keys::alwaysOnTop);
        configurator.apply(panel, settings.contains(onTop) ? settings.boolValue(onTop) : true,
                           settings.boolValue(QString::fromLatin1(trovimo::keys::snapToEdges)));
    };
    applyAll();
    QObject::connect(&settings, &trovimo::SettingsStore::changed, &panel, [&](const QString& key) {
        if (key == QLatin1String(trovimo::keys::alwaysOnTop) ||
            key == QLatin1String(trovimo::keys::snapToEdges)) {
            applyAll();
            say(QStringLiteral("applied %1").arg(hexId(panel)));
        }
    });

    int ticks = 0;
    QObject::connect(&stats, &trovimo::StatsStore::published, &panel,
                     [&] { say(QStringLiteral("tick %1").arg(++ticks)); });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, &panel, [&] {
        char buffer[256];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            input.setEnabled(false);
            QApplication::quit();
            return;
        }
        pending.append(buffer, static_cast<std::size_t>(count));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const QString command = QString::fromStdString(pending.substr(0, end)).trimmed();
            pending.erase(0, end + 1);
            const QStringList words = command.split(QLatin1Char(' '));
            if (words.value(0) == QLatin1String("alwaysOnTop")) {
                settings.setBool(QString::fromLatin1(trovimo::keys::alwaysOnTop),
                                 words.value(1) == QLatin1String("1"));
            } else if (words.value(0) == QLatin1String("where")) {
                const QRect frame = panel.frameGeometry();
                say(QStringLiteral("pos %1 %2 %3 %4")
                        .arg(frame.x())
                        .arg(frame.y())
                        .arg(frame.width())
                        .arg(frame.height()));
            } else if (words.value(0) == QLatin1String("measure")) {
                constexpr int rounds = 200;
                QElapsedTimer clock;
                clock.start();
                int visible = 0;
                for (int round = 0; round < rounds; ++round) {
                    visible += visibility.isMainWindowVisible() ? 1 : 0;
                }
                const double queryUs = clock.nsecsElapsed() / 1000.0 / rounds;
                clock.restart();
                for (int round = 0; round < rounds; ++round) {
                    applyAll();
                }
                const double applyUs = clock.nsecsElapsed() / 1000.0 / rounds;
                say(QStringLiteral("cost query %1 us, apply %2 us, visible %3/%4")
                        .arg(queryUs, 0, 'f', 1)
                        .arg(applyUs, 0, 'f', 1)
                        .arg(visible)
                        .arg(rounds));
            } else if (words.value(0) == QLatin1String("quit")) {
                QApplication::quit();
            }
        }
    });

    panel.show();
    say(QStringLiteral("window %1").arg(hexId(panel)));
    say(QStringLiteral("platform %1").arg(QGuiApplication::platformName()));
    stats.start();
    return QApplication::exec();
}
