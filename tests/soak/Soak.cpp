// Endurance run: the real statistics store over the real readers, ticking as fast as it can.
// Prints the resident size along the way and fails when it keeps growing after warm-up.
// Built with -DTROVIMO_SANITIZE=ON, AddressSanitizer and LeakSanitizer check every tick
// and the exit.
//
//   trovimo_soak [--ticks N] [--root DIR] [--max-growth-kb K]
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "readers/SystemReaders.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

int main(int argc, char** argv) {
    long ticks = 1000000;
    long maxGrowthKiB = 512;
    std::string root = "/";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--ticks")) {
            ticks = std::strtol(argv[i + 1], nullptr, 10);
        } else if (!std::strcmp(argv[i], "--root")) {
            root = argv[i + 1];
        } else if (!std::strcmp(argv[i], "--max-growth-kb")) {
            maxGrowthKiB = std::strtol(argv[i + 1], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--ticks N] [--root DIR] [--max-growth-kb K]\n",
                         argv[0]);
            return 2;
        }
    }
    QCoreApplication application(argc, argv);
    QTemporaryDir scratch;
    trovimo::SettingsStore settings(scratch.path() + QStringLiteral("/Trovimo.conf"));
    settings.registerDefaults(trovimo::defaultSettings());
    settings.setBool(trovimo::shownKey(trovimo::Block::self), true);
    trovimo::StatsStore store(settings, trovimo::makeLocalSource(root));

    const long reports = 20;
    const long warmUpTicks = ticks / 10;
    long afterWarmUp = 0;
    long peakAfterWarmUp = 0;
    const auto started = std::chrono::steady_clock::now();
    for (long tick = 1; tick <= ticks; ++tick) {
        store.tick();
        QCoreApplication::processEvents(); // the volume and trash reads land between ticks
        if (tick == warmUpTicks || (ticks >= reports && tick % (ticks / reports) == 0)) {
            const long rss = residentKiB();
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            std::printf("tick %9ld  rss %7ld KiB  %.1f s\n", tick, rss, seconds);
            std::fflush(stdout);
            if (tick == warmUpTicks) {
                afterWarmUp = rss;
            }
            if (tick > warmUpTicks) {
                peakAfterWarmUp = std::max(peakAfterWarmUp, rss);
            }
        }
    }
    const long growth = peakAfterWarmUp - afterWarmUp;
    std::printf("%ld ticks; resident size after warm-up %ld KiB, peak %ld KiB, growth %ld KiB\n",
                ticks, afterWarmUp, peakAfterWarmUp, growth);
    if (growth > maxGrowthKiB) {
        std::printf("FAIL: resident size grew by more than %ld KiB after warm-up\n", maxGrowthKiB);
        return 1;
    }
    return 0;
}
