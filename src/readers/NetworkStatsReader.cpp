#include "readers/NetworkStatsReader.h"

#include "readers/DeviceFile.h"

#include <algorithm>
#include <charconv>

namespace trovimo {

namespace {

// <linux/if.h> values; the flags file holds the interface's IFF_* bits in hex.
constexpr std::uint64_t interfaceUp = 0x1;
constexpr std::uint64_t interfaceLoopback = 0x8;

// The selection when no interface is named: every wired interface by its predictable name.
constexpr std::string_view defaultPrefix = "en";
constexpr std::string_view defaultKey = "en*";

bool nextField(std::string_view& rest, std::uint64_t& value) noexcept {
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
        rest.remove_prefix(1);
    }
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (error != std::errc() || end == rest.data()) {
        return false;
    }
    rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
    return rest.empty() || rest.front() == ' ' || rest.front() == '\t';
}

// A column the reader does not use: digits only, checked but not converted.
bool skipField(std::string_view& rest) noexcept {
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
        rest.remove_prefix(1);
    }
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') {
        ++digits;
    }
    rest.remove_prefix(digits);
    return digits > 0 && (rest.empty() || rest.front() == ' ' || rest.front() == '\t');
}

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
    NetDevCounters counters{name, 0, 0};
    if (!nextField(rest, counters.rxBytes)) {
        return std::nullopt;
    }
    for (int field = 0; field < 7; ++field) {
        if (!skipField(rest)) {
            return std::nullopt;
        }
    }
    if (!nextField(rest, counters.txBytes)) {
        return std::nullopt;
    }
    return counters;
}

NetworkStatsReader::NetworkStatsReader(std::string root)
    : procNetDev_(rootedPath(root, "/proc/net/dev")),
      sysClassNet_(rootedPath(root, "/sys/class/net/")) {
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
    const auto flags = parseSysfsUnsigned(*text);
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
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
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
        sum.rx += entry->rxBytes;
        sum.tx += entry->txBytes;
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
        speed = NetworkSpeed{};
        // A counter that went backwards (interface recreated, left the "en*" sum) gives 0 for
        // that direction this once; the next sample starts from the new value.
        if (dt > 0) {
            if (counters->rx >= previous_->counters.rx) {
                speed->download = static_cast<double>(counters->rx - previous_->counters.rx) / dt;
            }
            if (counters->tx >= previous_->counters.tx) {
                speed->upload = static_cast<double>(counters->tx - previous_->counters.tx) / dt;
            }
        }
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
