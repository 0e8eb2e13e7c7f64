#pragma once

#include <QString>

#include <string>

namespace trovimo::test {

// tests/fixtures/<relative>
[[nodiscard]] inline std::string fixturePath(const std::string& relative) {
    return std::string(TROVIMO_FIXTURES_DIR) + "/" + relative;
}

// The scratch folder that HOME and the XDG directories point into for this test program.
[[nodiscard]] QString scratchDirectory();

} // namespace trovimo::test
