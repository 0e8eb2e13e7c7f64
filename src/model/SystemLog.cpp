#include "model/SystemLog.h"

#include <cstdio>
#include <syslog.h>

namespace trovimo {
namespace {

std::function<void(const QString&)>& sink() {
    static std::function<void(const QString&)> instance;
    return instance;
}

} // namespace

void systemLog(const QString& line) {
    if (sink()) {
        sink()(line);
        return;
    }
    const QByteArray utf8 = line.toUtf8();
    static const bool opened = [] {
        openlog("trovimo", LOG_PID, LOG_USER);
        return true;
    }();
    (void)opened;
    syslog(LOG_WARNING, "%s", utf8.constData());
    std::fprintf(stderr, "%s\n", utf8.constData());
}

void setSystemLogSink(std::function<void(const QString&)> newSink) {
    sink() = std::move(newSink);
}

} // namespace trovimo
