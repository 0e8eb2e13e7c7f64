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
#include "readers/SystemReaders.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

struct Options {
    double interval = 1.0;
    long count = 0; // 0: until interrupted
    std::string root = "/";
};

[[noreturn]] void usage(const char* problem) {
    if (problem != nullptr) {
        std::fprintf(stderr, "trovimo-sample: %s\n", problem);
    }
    std::fprintf(stderr, "usage: trovimo-sample [--interval SECONDS] [--count N] [--root DIR]\n"
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
    const auto period = std::chrono::duration<double>(options.interval);
    for (long done = 0; options.count == 0 || done < options.count; ++done) {
        if (done > 0) {
            std::this_thread::sleep_for(period);
        }
        store.tick();
        const std::string line = trovimo::sampleJson(store);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return 0;
}
