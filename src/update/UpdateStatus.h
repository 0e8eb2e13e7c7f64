#pragma once

#include "update/UpdateInfo.h"

#include <optional>
#include <utility>

namespace trovimo {

// What the last successful poll decided: an optional or a required update (each with the
// feed document that announced it), or nothing to do.
class UpdateStatus {
public:
    enum class Kind { optional, required, upToDate };

    UpdateStatus() = default; // up to date

    [[nodiscard]] static UpdateStatus upToDate() { return {}; }
    [[nodiscard]] static UpdateStatus optional(UpdateInfo info) {
        return UpdateStatus(Kind::optional, std::move(info));
    }
    [[nodiscard]] static UpdateStatus required(UpdateInfo info) {
        return UpdateStatus(Kind::required, std::move(info));
    }

    [[nodiscard]] Kind kind() const noexcept { return kind_; }
    [[nodiscard]] bool isUpToDate() const noexcept { return kind_ == Kind::upToDate; }
    // Present exactly when an update is available.
    [[nodiscard]] const std::optional<UpdateInfo>& info() const noexcept { return info_; }

    friend bool operator==(const UpdateStatus&, const UpdateStatus&) = default;

private:
    UpdateStatus(Kind kind, UpdateInfo info) : kind_(kind), info_(std::move(info)) {}

    Kind kind_ = Kind::upToDate;
    std::optional<UpdateInfo> info_;
};

} // namespace trovimo
