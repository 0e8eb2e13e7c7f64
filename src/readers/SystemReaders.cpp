#include "readers/SystemReaders.h"

namespace trovimo {

StatsReaders makeSystemReaders(const std::string& root) {
    (void)root;
    StatsReaders readers;
    return readers;
}

} // namespace trovimo
