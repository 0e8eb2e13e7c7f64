// trovimo-feed-fetch: fetches the version feed for the panel, in a process of its own.
//
//   trovimo-feed-fetch URL TRANSFER_TIMEOUT_MS
//
// Exit status 0: the body is on standard output. 1: standard output holds one line saying
// what went wrong. 2: the arguments were not understood.

#include "core/FeedLimits.h"
#include "fetch/FeedFetch.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    using namespace trovimo;
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool numeric = false;
    const qint64 timeoutMs = arguments.size() == 3 ? arguments.at(2).toLongLong(&numeric) : 0;
    const QUrl url(arguments.size() == 3 ? arguments.at(1) : QString(), QUrl::StrictMode);
    if (!numeric || timeoutMs <= 0 || timeoutMs > 3'600'000 || !url.isValid() || url.isRelative()) {
        std::fputs("usage: trovimo-feed-fetch URL TRANSFER_TIMEOUT_MS\n", stderr);
        return feed::fetchUsage;
    }

    FeedFetch fetch(url, std::chrono::milliseconds(timeoutMs));
    QObject::connect(&fetch, &FeedFetch::succeeded, [](const QByteArray& body) {
        const bool written = std::fwrite(body.constData(), 1, static_cast<size_t>(body.size()),
                                         stdout) == static_cast<size_t>(body.size());
        QCoreApplication::exit(written && std::fflush(stdout) == 0 ? feed::fetchOk
                                                                   : feed::fetchFailed);
    });
    QObject::connect(&fetch, &FeedFetch::failed, [](const QString& description) {
        QString line = description;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        std::fputs(line.append(QLatin1Char('\n')).toUtf8().constData(), stdout);
        std::fflush(stdout);
        QCoreApplication::exit(feed::fetchFailed);
    });
    fetch.start();
    return QCoreApplication::exec();
}
