#pragma once

#include <cstdint>
#include <optional>

namespace trovimo {

// The volume holding the home directory; bytes.
struct DiskUsage {
    std::int64_t used = 0; // total minus what is available for important use
    std::int64_t total = 0;
    std::int64_t system = 0; // used minus what the volume reports as its own used space, >= 0
    // What emptying the trash would free: a part of used outside system, >= 0. Absent where
    // no one can tell (another machine's volume).
    std::optional<std::int64_t> purgeable{};

    friend bool operator==(const DiskUsage&, const DiskUsage&) = default;
};

} // namespace trovimo
