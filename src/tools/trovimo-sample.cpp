// trovimo-sample: prints what the panel would show, one JSON object per sampling tick.
// Its options and every field of the output are described by --help and trovimo-sample(1).

#include "BuildInfo.h"
#include "model/Blocks.h"
#include "model/DiskSampler.h"
#include "model/RemoteMachine.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "readers/SystemReaders.h"
#include "remote/RemoteSource.h"
#include "tools/SampleJson.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUrl>

#include <signal.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

// Ctrl+C, a kill or a closed pipe (`| head`) end the loop normally, so the temporary
// settings folder is removed on the way out.
void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// Sleeps for `seconds` unless a stop is requested first.
void pause(double seconds) {
    timespec remaining{};
    remaining.tv_sec = static_cast<time_t>(seconds);
    remaining.tv_nsec = static_cast<long>((seconds - std::floor(seconds)) * 1e9);
    while (!stopRequested && ::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

constexpr const char* helpHeader = R"(Usage: trovimo-sample [OPTION]...
Prints what the Trovimo panel would show: one JSON object per line, one line per sample.
The first line has no loads, rates of transfer or self-load yet, as those are differences
against the previous sample.

Options:
  -i, --interval=SECONDS  seconds between samples, above 0 (default 1)
  -n, --count=N           number of samples, 0 for no end (default 0)
      --root=DIR          directory that stands for / when reading /proc and /sys
      --machine=URL       another machine's figures, from its Prometheus node exporter
                          (http or https, e.g. http://nas.local:9100/metrics); gpu is null,
                          selfStats is this tool's own
  -h, --help              print this help and exit
  -v, --version           print the version and exit

Fields. An object or value that cannot be read is null.
)";

constexpr const char* helpFooter = R"(
Exit status: 0 when done or interrupted, 1 when the output cannot be written,
2 for a wrong option.
)";

struct Options {
    double interval = 1.0;
    long count = 0; // 0: until interrupted
    std::string root = "/";
    std::optional<trovimo::RemoteMachine> machine;
};

[[noreturn]] void fail(const QString& problem) {
    std::fprintf(stderr, "trovimo-sample: %s\nTry 'trovimo-sample --help' for more information.\n",
                 problem.toLocal8Bit().constData());
    std::exit(2);
}

Options parseOptions(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    const QCommandLineOption interval({QStringLiteral("i"), QStringLiteral("interval")}, {},
                                      QStringLiteral("seconds"));
    const QCommandLineOption count({QStringLiteral("n"), QStringLiteral("count")}, {},
                                   QStringLiteral("n"));
    const QCommandLineOption root(QStringLiteral("root"), {}, QStringLiteral("dir"));
    const QCommandLineOption machine(QStringLiteral("machine"), {}, QStringLiteral("url"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({interval, count, root, machine, help, version});
    if (!parser.parse(arguments)) {
        fail(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        fail(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    }
    if (parser.isSet(help)) {
        std::fputs(helpHeader, stdout);
        std::fputs(trovimo::sampleFieldsHelp().c_str(), stdout);
        std::fputs(helpFooter, stdout);
        std::exit(0);
    }
    if (parser.isSet(version)) {
        std::printf("trovimo-sample %s\n", trovimo::build::version);
        std::exit(0);
    }

    Options options;
    bool ok = true;
    if (parser.isSet(interval)) {
        options.interval = parser.value(interval).toDouble(&ok);
        if (!ok || !std::isfinite(options.interval) || options.interval <= 0.0 ||
            options.interval > 86400.0) {
            fail(QStringLiteral("--interval wants a number of seconds above 0, up to 86400"));
        }
    }
    if (parser.isSet(count)) {
        options.count = parser.value(count).toLong(&ok);
        if (!ok || options.count < 0) {
            fail(QStringLiteral("--count wants a whole number, 0 or more"));
        }
    }
    if (parser.isSet(root)) {
        options.root = parser.value(root).toStdString();
    }
    if (parser.isSet(machine)) {
        const QString url = parser.value(machine);
        trovimo::RemoteMachine remote{QUrl(url).host(), url, {}};
        if (remote.name.isEmpty()) {
            remote.name = url.left(64);
        }
        if (const auto problem = trovimo::remoteMachineProblem(remote)) {
            fail(QStringLiteral("--machine: %1").arg(*problem));
        }
        options.machine = std::move(remote);
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    QCoreApplication application(argc, argv);

    // Settings on a throw-away file: the registered defaults with every section switched on,
    // and nothing the user set is read or written.
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "trovimo-sample: cannot create a temporary directory\n");
        return 1;
    }
    trovimo::SettingsStore settings(scratch.filePath(QStringLiteral("settings.conf")));
    QVariantMap defaults = trovimo::defaultSettings();
    for (const trovimo::BlockRow& row : trovimo::blockTable) {
        defaults.insert(QLatin1String(row.shown.key), true);
    }
    settings.registerDefaults(defaults);

    std::unique_ptr<trovimo::StatsSource> source;
    if (options.machine) {
        source = std::make_unique<trovimo::RemoteSource>(*options.machine,
                                                         trovimo::makePanelSamplers(options.root));
    } else {
        source = trovimo::makeLocalSource(options.root);
    }
    trovimo::StatsStore store(settings, std::move(source));
    // A remote answer is given up three quarters of an interval after it was asked for.
    const auto wait = options.machine ? std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::duration<double>(options.interval))
                                      : trovimo::DiskSampler::readLimit;
    installStopHandlers();
    for (long done = 0; options.count == 0 || done < options.count; ++done) {
        if (done > 0) {
            pause(options.interval);
        }
        if (stopRequested) {
            break;
        }
        QCoreApplication::processEvents(); // what landed during the pause
        const bool alreadyReading = store.isAwaiting();
        store.tick();
        // The volume and the trash (another machine's whole answer) are read on threads of
        // their own. Their figures belong in the line of the tick that asked for them, unless
        // they take longer than the reader allows; a read still running from an earlier tick
        // is not waited for.
        if (!alreadyReading) {
            store.awaitFigures(wait, true);
        }
        std::string line = trovimo::sampleJson(*store.snapshot());
        line.push_back('\n');
        if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() ||
            std::fflush(stdout) != 0) {
            return 1; // the reader of our output went away
        }
    }
    return 0;
}
