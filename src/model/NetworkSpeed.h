#pragma once

namespace trovimo {

// Bytes per second, both >= 0.
struct NetworkSpeed {
    double download = 0.0;
    double upload = 0.0;

    friend bool operator==(const NetworkSpeed&, const NetworkSpeed&) = default;
};

} // namespace trovimo
