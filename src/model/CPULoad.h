#pragma once

#include <vector>

namespace trovimo {

struct CPULoad {
    double total = 0.0; // mean of perCore, 0..1
    std::vector<double>
        perCore; // busy fraction per core in kernel order; never empty when published

    friend bool operator==(const CPULoad&, const CPULoad&) = default;
};

} // namespace trovimo
