#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace trovimo {

// What the program's command line asks for. Read before the application object exists,
// so --help and --version work without a display. Qt's own options (-platform, -display,
// -style, ...) are accepted and left in place for the application object.
struct CommandLine {
    enum class Action { run, help, version, error };

    Action action = Action::run;
    // For `error`: one line saying what was wrong.
    QString error;
    // -display's value, which names the X display the panel goes to.
    std::optional<QString> display;
    // --machine's value: the panel shows that machine of the settings' list, beside this
    // machine's own panel.
    std::optional<QString> machine;
    // -platform's value, the platform plugin (and its options) Qt is to use.
    std::optional<QString> platform;

    [[nodiscard]] static CommandLine parse(const QStringList& arguments);
    [[nodiscard]] static CommandLine parse(int argc, const char* const* argv);

    // For help, version and error: prints what was asked for (the error to stderr) and
    // gives the exit status. None for `run`.
    [[nodiscard]] std::optional<int> answer() const;
    // Puts -display into DISPLAY and -platform into QT_QPA_PLATFORM, where Qt would take
    // them from without the options: the checks made before the application object exists
    // then look at the display Qt will open.
    void exportDisplayOptions() const;
    // The display the panel goes to: -display, else the session's DISPLAY or
    // WAYLAND_DISPLAY; empty when none is set.
    [[nodiscard]] QString displayName() const;
    [[nodiscard]] static QString helpText();
    [[nodiscard]] static QString versionText();
};

} // namespace trovimo
