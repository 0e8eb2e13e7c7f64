#pragma once

#include "readers/KernelText.h"
#include "readers/WholeFileReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace trovimo {

// One small sysfs file that is read on every tick. It has a reader of its own, which keeps it
// open: a reader with a dozen such files (hwmon inputs, power supplies) would otherwise have
// them push one another out of a shared reader's few open slots and open every one anew each
// tick.
class SysfsValueFile {
public:
    explicit SysfsValueFile(std::string path) : path_(std::move(path)) {}

    [[nodiscard]] const std::string& path() const noexcept { return path_; }

    // The contents, valid until the next read; absent when the file cannot be read.
    [[nodiscard]] std::optional<std::string_view> text() { return file_.read(path_); }

    [[nodiscard]] std::optional<std::int64_t> integer() {
        const auto contents = text();
        return contents ? kerneltext::parseSysfsInteger(*contents) : std::nullopt;
    }

private:
    std::string path_;
    WholeFileReader file_{64};
};

} // namespace trovimo
