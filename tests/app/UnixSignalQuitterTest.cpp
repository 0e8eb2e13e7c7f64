#include "app/UnixSignalQuitter.h"
#include "core/SystemLog.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace trovimo {
namespace {

TEST(UnixSignalQuitter, TermIntAndHangupEndTheEventLoopNormally) {
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        struct sigaction before {};
        sigaction(signalNumber, nullptr, &before);
        {
            UnixSignalQuitter quitter;
            ASSERT_TRUE(quitter.isActive());
            QSignalSpy received(&quitter, &UnixSignalQuitter::signalReceived);
            QTimer::singleShot(0, [signalNumber] { std::raise(signalNumber); });
            // Should the signal not arrive, the loop still ends and the test fails.
            QTimer::singleShot(5000, &quitter, [] { QCoreApplication::exit(1); });
            EXPECT_EQ(QCoreApplication::exec(), 0);
            ASSERT_EQ(received.count(), 1);
            EXPECT_EQ(received.at(0).at(0).toInt(), signalNumber);
        }
        // Gone: the handler that was there before is back.
        struct sigaction after {};
        sigaction(signalNumber, nullptr, &after);
        EXPECT_EQ(after.sa_handler, before.sa_handler);
    }
}

// At start-up a nested event loop (the first frame waiting for the disk figures) may take the
// signal, when quitting does nothing yet: the main loop that starts after it ends all the same.
TEST(UnixSignalQuitter, ASignalTakenBeforeTheMainLoopStillEndsIt) {
    UnixSignalQuitter quitter;
    QSignalSpy received(&quitter, &UnixSignalQuitter::signalReceived);
    std::raise(SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.count() == 1; }));
    QTimer::singleShot(5000, &quitter, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

TEST(UnixSignalQuitter, OnlyOneInstanceTakesTheSignals) {
    QStringList lines;
    setSystemLogSink([&lines](const QString& line) { lines.append(line); });
    UnixSignalQuitter first;
    UnixSignalQuitter second;
    EXPECT_TRUE(first.isActive());
    EXPECT_FALSE(second.isActive());
    EXPECT_EQ(lines.size(), 1);
    setSystemLogSink({});
}

} // namespace
} // namespace trovimo
