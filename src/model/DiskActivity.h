#pragma once

#include <string>

namespace trovimo {

// Reads and writes of the disk(s) holding the home directory; bytes per second, both >= 0.
struct DiskActivity {
    double readBytesPerSecond = 0.0;
    double writeBytesPerSecond = 0.0;
    std::string device; // kernel name of the disk ("nvme0n1"), or of the volume over several

    friend bool operator==(const DiskActivity&, const DiskActivity&) = default;
};

} // namespace trovimo
