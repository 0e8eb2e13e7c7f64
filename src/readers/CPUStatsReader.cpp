#include "readers/CPUStatsReader.h"

#include "readers/Counters.h"
#include "readers/KernelText.h"

#include <algorithm>
#include <array>

namespace trovimo {
namespace {

constexpr std::size_t statColumns = 10;

using kerneltext::nextField;

// "cpu12" -> 12; absent for the "cpu" summary line and anything that is not cpu<digits>.
std::optional<std::uint32_t> coreNumber(std::string_view label) {
    const auto number = kerneltext::numberAfterPrefix(label, "cpu");
    if (!number || *number > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*number);
}

} // namespace

bool parseProcStatInto(std::string_view text, std::vector<NumberedCPUTicks>& cores) {
    cores.clear();
    std::string_view line;
    bool seenCPU = false;
    while (kerneltext::nextLine(text, line)) {
        std::string_view rest = line;
        const std::string_view label = nextField(rest);
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
        for (; !kerneltext::trimmed(rest).empty(); ++count) {
            const auto value = kerneltext::nextU64(rest);
            if (!value) {
                return false;
            }
            if (count < statColumns) {
                column[count] = *value;
            }
        }
        if (count < 4) {
            return false;
        }
        cores.push_back(NumberedCPUTicks{*number, cpuTicksFromColumns(column)});
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

CPUTicks cpuTicksFromColumns(std::span<const std::uint64_t, statColumns> column) noexcept {
    CPUTicks ticks;
    ticks.user = column[0];
    ticks.nice = column[1];
    ticks.system =
        saturatingAdd(saturatingAdd(column[2], column[5]), saturatingAdd(column[6], column[7]));
    ticks.idle = saturatingAdd(column[3], column[4]);
    return ticks;
}

double busyFraction(const CPUTicks& previous, const CPUTicks& current) noexcept {
    // In doubles: four deltas of 64-bit counters may add up past 64 bits.
    const double busy = static_cast<double>(counterDelta(previous.user, current.user)) +
                        static_cast<double>(counterDelta(previous.system, current.system)) +
                        static_cast<double>(counterDelta(previous.nice, current.nice));
    const double all = busy + static_cast<double>(counterDelta(previous.idle, current.idle));
    if (all <= 0.0) {
        return 0.0;
    }
    const double fraction = busy / all;
    return std::clamp(fraction, 0.0, 1.0);
}

std::optional<CPULoad> cpuLoadBetween(std::span<const NumberedCPUTicks> previous,
                                      std::span<const NumberedCPUTicks> current) {
    // Both lists are in ascending core order (the parser insists), so one merge pass pairs
    // them.
    CPULoad load;
    load.perCore.reserve(std::min(previous.size(), current.size()));
    double sum = 0.0;
    auto before = previous.begin();
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
    if (load.perCore.empty()) {
        return std::nullopt;
    }
    load.total = sum / static_cast<double>(load.perCore.size());
    return load;
}

CPUStatsReader::CPUStatsReader(const std::string& root)
    : statPath_(kerneltext::pathUnderRoot(root, "proc/stat")), file_(16384) {}

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
