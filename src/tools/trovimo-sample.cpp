// trovimo-sample: prints what the panel would show, one JSON object per sampling tick.
//
//   trovimo-sample [--interval SECONDS] [--count N] [--root DIR]
//
// The first line has no CPU load, throughput or self-load yet: those are differences
// against the previous tick.

#include "model/SampleJson.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "readers/BatteryReader.h"
#include "readers/DiskActivityReader.h"
#include "readers/SensorsReader.h"
#include "readers/SystemReaders.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
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

struct Options {
    double interval = 1.0;
    long count = 0; // 0: until interrupted
    std::string root = "/";
};

[[noreturn]] void usage(const char* problem) {
    if (problem != nullptr) {
        std::fprintf(stderr, "trovimo-sample: %s\n", problem);
    }
    std::fprintf(problem != nullptr ? stderr : stdout,
                 "usage: trovimo-sample [--interval SECONDS] [--count N] [--root DIR]\n"
                 "  --interval  seconds between samples (default 1)\n"
                 "  --count     number of samples, 0 for no end (default 0)\n"
                 "  --root      directory that stands for / when reading /proc and /sys\n");
    std::exit(problem != nullptr ? 2 : 0);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            usage(nullptr);
        }
        if (i + 1 >= argc) {
            usage("missing value after an option");
        }
        const char* value = argv[++i];
        char* end = nullptr;
        if (argument == "--interval") {
            options.interval = std::strtod(value, &end);
            if (*value == '\0' || *end != '\0' || !std::isfinite(options.interval) ||
                options.interval <= 0.0 || options.interval > 86400.0) {
                usage("--interval wants a number of seconds above 0");
            }
        } else if (argument == "--count") {
            options.count = std::strtol(value, &end, 10);
            if (*value == '\0' || *end != '\0' || options.count < 0) {
                usage("--count wants a whole number, 0 or more");
            }
        } else if (argument == "--root") {
            options.root = value;
        } else {
            usage("unknown option");
        }
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
    for (const char* key :
         {trovimo::keys::showCPU, trovimo::keys::showGPU, trovimo::keys::showMemory,
          trovimo::keys::showNetwork, trovimo::keys::showDisk, trovimo::keys::showSelf}) {
        defaults.insert(QLatin1String(key), true);
    }
    settings.registerDefaults(defaults);

    trovimo::StatsStore store(settings, trovimo::makeSystemReaders(options.root));
    // The blocks that are off by default are sampled all the same.
    trovimo::SensorsReader sensors(options.root);
    trovimo::BatteryReader battery(options.root);
    trovimo::DiskActivityReader diskActivity(options.root);
    installStopHandlers();
    for (long done = 0; options.count == 0 || done < options.count; ++done) {
        if (done > 0) {
            pause(options.interval);
        }
        if (stopRequested) {
            break;
        }
        store.tick();
        const trovimo::OptionalBlockSamples blocks{
            sensors.read(), battery.read(),
            diskActivity.read(trovimo::DiskActivityReader::TimePoint::clock::now())};
        std::string line = trovimo::sampleJson(store, blocks);
        line.push_back('\n');
        if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() ||
            std::fflush(stdout) != 0) {
            return 1; // the reader of our output went away
        }
    }
    return 0;
}
