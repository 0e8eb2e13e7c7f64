#pragma once

#include <QLoggingCategory>
#include <QString>

#include <functional>

namespace trovimo {

// The program's log categories. Failures are warnings, on by default; debug and info lines
// are off until QT_LOGGING_RULES widens a category ("trovimo.app.debug=true"), and
// "trovimo.update.warning=false" silences the update check's failures.
Q_DECLARE_LOGGING_CATEGORY(logUpdate)  // trovimo.update: the version feed check
Q_DECLARE_LOGGING_CATEGORY(logReaders) // trovimo.readers: reading /proc, /sys and netlink
Q_DECLARE_LOGGING_CATEGORY(logWindow)  // trovimo.window: the panel window and its drawing
Q_DECLARE_LOGGING_CATEGORY(logApp)     // trovimo.app: start-up, settings, launcher
Q_DECLARE_LOGGING_CATEGORY(logRemote)  // trovimo.remote: other machines' node exporters

// One line per background failure, logged as a warning of `category`: to the system log
// (journald collects syslog) with the warning priority, and to stderr. The line starts with
// the reporting type's name and a colon.
void systemLog(const QLoggingCategory& category, const QString& line);

// Sends every message of the trovimo.* categories, whatever its level, to the system log
// with the matching priority and to stderr, as the bare text. Other categories keep Qt's
// handling. systemLog installs it on first use; call it early to route debug lines too.
void installSystemLogHandler();

// Tests capture the lines of enabled categories instead of writing them; pass an empty
// function to restore.
void setSystemLogSink(std::function<void(const QString&)> sink);

} // namespace trovimo
