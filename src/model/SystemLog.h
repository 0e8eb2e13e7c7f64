#pragma once

#include <QString>

#include <functional>

namespace trovimo {

// One line per background failure, to the system log (journald collects syslog) and stderr.
// The line starts with the reporting type's name and a colon.
void systemLog(const QString& line);

// Tests capture the lines instead of writing them; pass an empty function to restore.
void setSystemLogSink(std::function<void(const QString&)> sink);

} // namespace trovimo
