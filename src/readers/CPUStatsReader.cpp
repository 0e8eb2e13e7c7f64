#include "readers/CPUStatsReader.h"

#include "readers/ProcText.h"

#include <algorithm>
#include <array>

namespace trovimo {
namespace {

constexpr std::size_t statColumns = 10;

// "cpu12" -> 12; absent for the "cpu" summary line and anything that is not cpu<digits>.
std::optional<std::uint32_t> coreNumber(std::string_view label) {
    if (label.size() <= 3 || label.substr(0, 3) != "cpu") {
        return std::nullopt;
    }
    const auto number = proctext::parseU64(label.substr(3));
    if (!number || *number > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*number);
}

// A counter difference that survives a wrap of the 32-bit counter. A "difference" in the
// upper half of the range is a counter that went backwards (iowait may, per the kernel's
// proc documentation), not 136 years of ticks: it counts as no time instead of making an
// idle core look fully idle or a busy one fully busy.
std::uint64_t tickDelta(std::uint32_t previous, std::uint32_t current) noexcept {
    const std::uint32_t delta = current - previous;
    return delta > INT32_MAX ? 0 : delta;
}

} // namespace

bool parseProcStatInto(std::string_view text, std::vector<NumberedCPUTicks>& cores) {
    cores.clear();
    std::string_view line;
    bool seenCPU = false;
    while (proctext::nextLine(text, line)) {
        std::string_view rest = line;
        const std::string_view label = proctext::nextField(rest);
        if (label.substr(0, 3) != "cpu") {
            // The cpu lines come first; the rest (a long intr line among them) is not ours.
            if (seenCPU) {
                break;
            }
            continue;
        }
        seenCPU = true;
        if (label == "cpu") {
            continue;
        }
        const auto number = coreNumber(label);
        if (!number || (!cores.empty() && *number <= cores.back().cpu)) {
            return false;
        }
        std::array<std::uint64_t, statColumns> column{};
        std::size_t count = 0;
        for (std::string_view field = proctext::nextField(rest); !field.empty();
             field = proctext::nextField(rest)) {
            const auto value = proctext::parseU64(field);
            if (!value) {
                return false;
            }
            if (count < statColumns) {
                column[count] = *value;
            }
            ++count;
        }
        if (count < 4) {
            return false;
        }
        // Truncating to 32 bits keeps differences right: they are taken modulo 2^32.
        NumberedCPUTicks core;
        core.cpu = *number;
        core.ticks.user = static_cast<std::uint32_t>(column[0]);
        core.ticks.nice = static_cast<std::uint32_t>(column[1]);
        core.ticks.system =
            static_cast<std::uint32_t>(column[2] + column[5] + column[6] + column[7]);
        core.ticks.idle = static_cast<std::uint32_t>(column[3] + column[4]);
        cores.push_back(core);
    }
    return true;
}

std::optional<std::vector<NumberedCPUTicks>> parseProcStat(std::string_view text) {
    std::vector<NumberedCPUTicks> cores;
    if (!parseProcStatInto(text, cores)) {
        return std::nullopt;
    }
    return cores;
}

double busyFraction(const CPUTicks& previous, const CPUTicks& current) noexcept {
    const std::uint64_t busy = tickDelta(previous.user, current.user) +
                               tickDelta(previous.system, current.system) +
                               tickDelta(previous.nice, current.nice);
    const std::uint64_t all = busy + tickDelta(previous.idle, current.idle);
    if (all == 0) {
        return 0.0;
    }
    const double fraction = static_cast<double>(busy) / static_cast<double>(all);
    return std::clamp(fraction, 0.0, 1.0);
}

std::optional<CPULoad> cpuLoadBetween(std::span<const NumberedCPUTicks> previous,
                                      std::span<const NumberedCPUTicks> current) {
    // Both lists are in ascending core order (the parser insists), so one merge pass pairs
    // them.
    CPULoad load;
    std::size_t matched = 0;
    auto before = previous.begin();
    for (const auto& now : current) {
        while (before != previous.end() && before->cpu < now.cpu) {
            ++before;
        }
        if (before != previous.end() && before->cpu == now.cpu) {
            ++matched;
        }
    }
    if (matched == 0) {
        return std::nullopt;
    }
    load.perCore.reserve(matched);
    before = previous.begin();
    double sum = 0.0;
    for (const auto& now : current) {
        while (before != previous.end() && before->cpu < now.cpu) {
            ++before;
        }
        if (before != previous.end() && before->cpu == now.cpu) {
            const double fraction = busyFraction(before->ticks, now.ticks);
            load.perCore.push_back(fraction);
            sum += fraction;
        }
    }
    load.total = sum / static_cast<double>(load.perCore.size());
    return load;
}

CPUStatsReader::CPUStatsReader(const std::string& root)
    : statPath_(pathUnderRoot(root, "proc/stat")), file_(16384) {}

std::optional<CPULoad> CPUStatsReader::read() {
    const auto text = file_.read(statPath_);
    if (!text || !parseProcStatInto(*text, current_)) {
        return std::nullopt;
    }
    std::optional<CPULoad> load;
    if (hasPrevious_) {
        load = cpuLoadBetween(previous_, current_);
    }
    // Swapping keeps both vectors' storage, so steady-state reads do not allocate.
    previous_.swap(current_);
    hasPrevious_ = true;
    return load;
}

} // namespace trovimo
