#include "readers/SelfStatsReader.h"

#include "readers/Counters.h"
#include "readers/KernelText.h"

#include <time.h>

namespace trovimo {
namespace {

std::optional<std::uint64_t> nanosecondsOf(clockid_t clock) {
    timespec now{};
    if (::clock_gettime(clock, &now) != 0 || now.tv_sec < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

} // namespace

SelfClocks SelfClocks::system() {
    return {[] { return nanosecondsOf(CLOCK_PROCESS_CPUTIME_ID); },
            [] { return nanosecondsOf(CLOCK_BOOTTIME).value_or(0); }};
}

std::optional<std::uint64_t> parseSelfFootprint(std::string_view status) {
    std::uint64_t total = 0;
    bool found = false;
    int seen = 0;
    std::string_view line;
    while (kerneltext::nextLine(status, line)) {
        std::string_view key;
        std::string_view rest;
        if (!kerneltext::splitAtColon(line, key, rest) ||
            (key != "RssAnon" && key != "RssShmem" && key != "VmSwap")) {
            continue;
        }
        const auto bytes = kerneltext::parseKibFigure(rest);
        if (!bytes || *bytes > UINT64_MAX - total) {
            return std::nullopt;
        }
        total += *bytes;
        found = true;
        // The three lines sit together in the upper half; the signal masks, capability sets
        // and CPU lists below need not be scanned.
        if (++seen == 3) {
            break;
        }
    }
    if (!found) {
        return std::nullopt;
    }
    return total;
}

SelfStatsReader::SelfStatsReader(const std::string& root, SelfClocks clocks)
    : statusPath_(kerneltext::pathUnderRoot(root, "proc/self/status")), clocks_(std::move(clocks)),
      file_(4096) {}

std::optional<SelfStats> SelfStatsReader::read() {
    const auto cpuTime = clocks_.cpuTime ? clocks_.cpuTime() : std::nullopt;
    const auto status = cpuTime ? file_.read(statusPath_) : std::nullopt;
    const auto footprint = status ? parseSelfFootprint(*status) : std::nullopt;
    if (!cpuTime || !footprint) {
        return std::nullopt;
    }
    const std::uint64_t now = clocks_.monotonic ? clocks_.monotonic() : 0;
    std::optional<SelfStats> stats;
    if (previous_ && now > previous_->timestamp) {
        const double cpu = static_cast<double>(counterDelta(previous_->cpuTime, *cpuTime)) /
                           static_cast<double>(now - previous_->timestamp);
        stats = SelfStats{cpu, *footprint};
    }
    previous_ = SelfCPUSample{*cpuTime, now};
    return stats;
}

} // namespace trovimo
