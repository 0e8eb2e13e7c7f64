#include "core/SystemLog.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

namespace trovimo {

Q_LOGGING_CATEGORY(logUpdate, "trovimo.update", QtWarningMsg)
Q_LOGGING_CATEGORY(logReaders, "trovimo.readers", QtWarningMsg)
Q_LOGGING_CATEGORY(logWindow, "trovimo.window", QtWarningMsg)
Q_LOGGING_CATEGORY(logApp, "trovimo.app", QtWarningMsg)
Q_LOGGING_CATEGORY(logRemote, "trovimo.remote", QtWarningMsg)

namespace {

std::function<void(const QString&)>& sink() {
    static std::function<void(const QString&)> instance;
    return instance;
}

QtMessageHandler previousHandler = nullptr;

int syslogPriority(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return LOG_DEBUG;
    case QtInfoMsg:
        return LOG_INFO;
    case QtWarningMsg:
        return LOG_WARNING;
    case QtCriticalMsg:
        return LOG_ERR;
    case QtFatalMsg:
        return LOG_CRIT;
    }
    return LOG_WARNING;
}

// A program started by systemd (a user service, or a session that runs its autostart
// entries as services) has stderr connected to the journal, which names it in
// JOURNAL_STREAM as "device:inode". The syslog copy already reaches the journal with its
// priority; a second copy through the stream would arrive as a plain notice.
bool stderrIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat status {};
    if (stream == nullptr || ::fstat(STDERR_FILENO, &status) != 0) {
        return false;
    }
    unsigned long long device = 0;
    unsigned long long inode = 0;
    return std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 && device == status.st_dev &&
           inode == status.st_ino;
}

bool isOurs(const QMessageLogContext& context) {
    return context.category != nullptr && qstrncmp(context.category, "trovimo.", 8) == 0;
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!isOurs(context)) {
        if (previousHandler != nullptr) {
            previousHandler(type, context, message);
        }
        return;
    }
    static const bool toStderr = [] {
        openlog("trovimo", LOG_PID, LOG_USER);
        return !stderrIsJournal();
    }();
    const QByteArray utf8 = message.toUtf8();
    syslog(syslogPriority(type), "%s", utf8.constData());
    if (toStderr) {
        std::fprintf(stderr, "%s\n", utf8.constData());
    }
}

} // namespace

void installSystemLogHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] { previousHandler = qInstallMessageHandler(handleMessage); });
}

void systemLog(const QLoggingCategory& category, const QString& line) {
    if (!category.isWarningEnabled()) {
        return;
    }
    if (sink()) {
        sink()(line);
        return;
    }
    installSystemLogHandler();
    QMessageLogger(nullptr, 0, nullptr).warning(category).noquote() << line;
}

void setSystemLogSink(std::function<void(const QString&)> newSink) {
    sink() = std::move(newSink);
}

} // namespace trovimo
