#pragma once

#include "app/CompanionApp.h"

#include <QIcon>
#include <QUrl>

#include <optional>
#include <vector>

namespace trovimo {

// The maker's other applications: which of them are installed (looked up once per
// process) and how to reach each, by launching it or by opening its product page.
// GUI thread only.
class CompanionAppLauncher {
public:
    struct Entry {
        CompanionApp app;
        // The installed desktop entry (a file URL); none when the application is missing.
        std::optional<QUrl> appURL;
        // The installed application's icon at 16×16; none when it is missing.
        std::optional<QIcon> icon;

        [[nodiscard]] bool isInstalled() const noexcept { return appURL.has_value(); }
    };

    CompanionAppLauncher() = delete;

    // The four applications, in menu order.
    [[nodiscard]] static const std::vector<CompanionApp>& apps();

    // One entry per application, in the same order. The first call looks up what is
    // installed; applications installed or removed later show up at the next start.
    [[nodiscard]] static const std::vector<Entry>& entries();

    // Launches an installed application, else hands its page to the browser. Failures are
    // written to the system log, never shown.
    static void open(const Entry& entry);

    // The lookup behind entries(), made afresh each time.
    [[nodiscard]] static std::vector<Entry> lookUpEntries();
};

} // namespace trovimo
