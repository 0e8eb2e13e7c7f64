#include "readers/NetworkStatsReader.h"

#include "readers/Counters.h"
#include "readers/KernelText.h"

#include <algorithm>

namespace trovimo {

namespace {

// <linux/if.h> values; the flags file holds the interface's IFF_* bits in hex.
constexpr std::uint64_t interfaceUp = 0x1;
constexpr std::uint64_t interfaceLoopback = 0x8;

// The selection when no interface is named: every wired interface by its predictable name.
constexpr std::string_view defaultPrefix = "en";
constexpr std::string_view defaultKey = "en*";

} // namespace

std::optional<NetDevCounters> parseNetDevLine(std::string_view line) noexcept {
    const std::size_t colon = line.rfind(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && name.front() == ' ') {
        name.remove_prefix(1);
    }
    if (name.empty() || name.find_first_of(" \t|/") != std::string_view::npos) {
        return std::nullopt;
    }
    // Receive: bytes packets errs drop fifo frame compressed multicast; then transmit bytes.
    std::string_view rest = line.substr(colon + 1);
    const auto rxBytes = kerneltext::nextU64(rest);
    for (int column = 0; rxBytes && column < 7; ++column) {
        if (!kerneltext::skipU64(rest)) {
            return std::nullopt;
        }
    }
    const auto txBytes = rxBytes ? kerneltext::nextU64(rest) : std::nullopt;
    if (!txBytes) {
        return std::nullopt;
    }
    return NetDevCounters{name, *rxBytes, *txBytes};
}

NetworkStatsReader::NetworkStatsReader(std::string root)
    : procNetDev_(kerneltext::pathUnderRoot(root, "proc/net/dev")),
      sysClassNet_(kerneltext::pathUnderRoot(root, "sys/class/net/")) {
    flagsPath_.reserve(sysClassNet_.size() + 32);
}

bool NetworkStatsReader::isUpAndNotLoopback(std::string_view name) {
    flagsPath_.assign(sysClassNet_);
    flagsPath_.append(name);
    flagsPath_.append("/flags");
    const auto text = flagsFile_.read(flagsPath_);
    if (!text) {
        return false; // gone between the two reads: it no longer carries traffic
    }
    const auto flags = kerneltext::parseSysfsUnsigned(*text);
    return flags && (*flags & interfaceUp) != 0 && (*flags & interfaceLoopback) == 0;
}

std::optional<NetworkStatsReader::Counters>
NetworkStatsReader::readCounters(const std::optional<std::string>& interface) {
    const auto table = netDevFile_.read(procNetDev_);
    if (!table) {
        return std::nullopt;
    }
    Counters sum;
    std::string_view rest = *table;
    std::string_view line;
    while (kerneltext::nextLine(rest, line)) {
        // Cheap check of the leading name first: most lines belong to interfaces that are not
        // selected, and need no number parsed.
        std::string_view lead = line;
        lead.remove_prefix(std::min(lead.find_first_not_of(' '), lead.size()));
        if (!lead.starts_with(interface ? std::string_view(*interface) : defaultPrefix)) {
            continue;
        }
        const auto entry = parseNetDevLine(line);
        if (!entry || (interface && entry->name != *interface) ||
            !isUpAndNotLoopback(entry->name)) {
            continue;
        }
        sum.rx = saturatingAdd(sum.rx, entry->rxBytes);
        sum.tx = saturatingAdd(sum.tx, entry->txBytes);
    }
    return sum;
}

std::optional<NetworkSpeed> NetworkStatsReader::read(BoottimeClock::time_point now,
                                                     const std::optional<std::string>& interface) {
    const std::string_view key = interface ? std::string_view(*interface) : defaultKey;
    const auto counters = readCounters(interface);
    if (!counters) {
        return std::nullopt;
    }
    std::optional<NetworkSpeed> speed;
    if (previous_ && previous_->key == key) {
        const double dt = std::chrono::duration<double>(now - previous_->time).count();
        // A counter that went backwards (interface recreated, left the "en*" sum) gives 0 for
        // that direction this once; the next sample starts from the new value.
        speed = NetworkSpeed{counterRate(previous_->counters.rx, counters->rx, dt),
                             counterRate(previous_->counters.tx, counters->tx, dt)};
    }
    if (!previous_) {
        previous_ = Previous{std::string(key), *counters, now};
        return speed;
    }
    if (previous_->key != key) {
        previous_->key.assign(key); // reuses the string's capacity
    }
    previous_->counters = *counters;
    previous_->time = now;
    return speed;
}

} // namespace trovimo
