#pragma once

namespace trovimo {

// Starting the application when the user logs in. The settings window only needs a status
// and two operations that may fail; the desktop-specific mechanism lives behind this.
class LoginItemService {
public:
    enum class Status {
        enabled,
        notRegistered,
        // An entry exists but the desktop will not start it (switched off by the user in the
        // desktop's own start-up settings, or unreadable).
        disabled,
    };

    virtual ~LoginItemService() = default;

    [[nodiscard]] virtual Status status() const = 0;
    // Both return false when the change could not be made; the status then tells what holds.
    [[nodiscard]] virtual bool registerItem() = 0;
    [[nodiscard]] virtual bool unregisterItem() = 0;

    [[nodiscard]] bool isEnabled() const { return status() == Status::enabled; }
};

} // namespace trovimo
