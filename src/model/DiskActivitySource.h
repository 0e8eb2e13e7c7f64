#pragma once

#include "core/BoottimeClock.h"
#include "model/DiskActivity.h"

#include <chrono>
#include <optional>
#include <string>

namespace trovimo {

// Where the home directory lives, as stat(2) and realpath(3) tell.
struct HomeVolume {
    std::string path; // without symbolic links
    unsigned major = 0;
    unsigned minor = 0;

    friend bool operator==(const HomeVolume&, const HomeVolume&) = default;
};

// A disk activity reader: rates since the previous call. Absent on the first call and when the
// disks under the home directory change.
//
// Finding the home volume stats the home directory, which blocks for as long as a network
// home does not answer, so a reader never looks for it on its own: its sampler looks
// on a thread of its own (`locateHome`) and hands the answer over between ticks (`setHome`).
// Until the first answer, a read is absent.
class DiskActivitySource {
public:
    // The time ThroughputSource takes, so that both rates are timed on one clock.
    using TimePoint = BoottimeClock::time_point;

    virtual ~DiskActivitySource() = default;
    [[nodiscard]] virtual std::optional<DiskActivity> read(TimePoint now) = 0;

    // May block; safe on any thread while `read` and `setHome` run on another.
    [[nodiscard]] virtual std::optional<HomeVolume> locateHome() const = 0;
    // The volume `locateHome` found at `now`; the disks under it are looked up (in /sys,
    // which does not block) and their counters taken, so the next read has a rate.
    virtual void setHome(const std::optional<HomeVolume>& home, TimePoint now) = 0;
};

} // namespace trovimo
