#include "remote/NodeExporterPoller.h"

#include "core/SystemLog.h"
#include "remote/Credential.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <tuple>

namespace trovimo {
namespace {

using test::LocalHttpServer;
using namespace std::chrono_literals;
using State = NodeExporterPoller::State;

const QByteArray body = "# TYPE node_memory_MemTotal_bytes gauge\n"
                        "node_memory_MemTotal_bytes 8.192e+09\n"
                        "node_memory_MemAvailable_bytes 5.12e+09\n";

class NodeExporterPollerTest : public ::testing::Test {
protected:
    NodeExporterPollerTest() {
        setSystemLogSink([this](const QString& line) { log_.append(line); });
        server_.route("/metrics", LocalHttpServer::json(body));
    }
    ~NodeExporterPollerTest() override { setSystemLogSink({}); }

    std::unique_ptr<NodeExporterPoller> poller(const QString& path,
                                               const QString& credential = {}) {
        return std::make_unique<NodeExporterPoller>(
            RemoteMachine{QStringLiteral("NAS"), server_.url(path).toString(), credential});
    }
    // One poll at `now`, waited for: whether figures came.
    static bool pollOnce(NodeExporterPoller& poller, NodeExporterPoller::TimePoint now,
                         NodeExporterPoller::Interval interval = 1s) {
        QSignalSpy figures(&poller, &NodeExporterPoller::figuresArrived);
        if (!poller.poll(shownByDefault(), interval, now)) {
            return false;
        }
        QDeadlineTimer deadline(20s);
        while (poller.isFetching() && !deadline.hasExpired()) {
            QTest::qWait(5);
        }
        EXPECT_FALSE(poller.isFetching()) << "the request never came back";
        return !figures.isEmpty();
    }
    QString credentialFile(const QByteArray& contents, mode_t mode) {
        const QString path = test::scratchDirectory() + QStringLiteral("/credential");
        QFile::remove(path);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        ::chmod(QFile::encodeName(path).constData(), mode);
        return path;
    }

    LocalHttpServer server_;
    QStringList log_;
    const NodeExporterPoller::TimePoint start_{1000s};
};

// Everything a server can answer instead of a body: one warning line, the machine
// unreachable, and the next interval tried again.
TEST_F(NodeExporterPollerTest, EachBadAnswerMakesTheMachineUnreachableWithOneLogLine) {
    LocalHttpServer::Response oversized = LocalHttpServer::json(QByteArray(5 << 20, '#'));
    LocalHttpServer::Response endless;
    endless.endlessChunk = QByteArray(64 * 1024, '#');
    LocalHttpServer::Response trickling;
    trickling.endlessChunk = "#";
    LocalHttpServer::Response garbage;
    garbage.raw = QByteArray("\x16\x03\x01\x02\xa5\x01\x06\x01\xa1\x03\x03 not http\r\n\r\n");
    const std::tuple<const char*, LocalHttpServer::Response, const char*> cases[] = {
        {"not found", LocalHttpServer::json("", 404), "HTTP status 404"},
        {"oversized", oversized, "larger than this program reads"},
        {"endless", endless, "larger than this program reads"},
        {"trickling", trickling, "timed out"},
        {"silent", LocalHttpServer::noAnswer(), "timed out"},
        {"garbage", garbage, "not HTTP/1.1"},
        {"a web page", LocalHttpServer::json("<html>login</html>"), "holds no metrics"},
        {"redirect to a file", LocalHttpServer::redirect("file:///etc/passwd"), "refused"},
        {"redirect to https", LocalHttpServer::redirect("https://127.0.0.1:9/metrics"), "refused"},
        {"redirect loop", LocalHttpServer::redirect("/bad"), "HTTP status 302"},
    };
    for (const auto& [name, response, reason] : cases) {
        SCOPED_TRACE(name);
        log_.clear();
        server_.route("/bad", response);
        auto machine = poller("/bad");
        QSignalSpy states(machine.get(), &NodeExporterPoller::stateChanged);
        EXPECT_FALSE(pollOnce(*machine, start_, 2s));
        EXPECT_EQ(machine->state(), State::unreachable);
        EXPECT_TRUE(machine->problem().contains(QLatin1String(reason)))
            << machine->problem().toStdString();
        ASSERT_EQ(log_.size(), 1);
        EXPECT_TRUE(log_.front().startsWith(QStringLiteral("NodeExporterPoller: NAS (http://")));
        // Still failing a second later: no second line.
        EXPECT_FALSE(pollOnce(*machine, start_ + 2s, 2s));
        EXPECT_EQ(log_.size(), 1);
        EXPECT_EQ(states.count(), 1);
    }
}

TEST_F(NodeExporterPollerTest, AsksForTheShownBlocksCollectorsAndForAllWhenRefused) {
    auto machine = poller("/metrics");
    ASSERT_TRUE(pollOnce(*machine, start_));
    EXPECT_EQ(machine->state(), State::fresh);
    EXPECT_TRUE(server_.requests().back().path.startsWith(
        "/metrics?collect%5B%5D=time&collect%5B%5D=stat&collect%5B%5D=cpu"));

    // An exporter with a collector switched off answers 400 to the filter.
    server_.route("/strict?collect%5B%5D=time&collect%5B%5D=stat&collect%5B%5D=cpu&collect%5B%5D="
                  "meminfo&collect%5B%5D=pressure&collect%5B%5D=netdev&collect%5B%5D=netclass&"
                  "collect%5B%5D=filesystem",
                  LocalHttpServer::json("missing collector", 400));
    server_.route("/strict", LocalHttpServer::json(body));
    auto strict = poller("/strict");
    ASSERT_TRUE(pollOnce(*strict, start_));
    EXPECT_EQ(server_.requests().back().path, "/strict");
    ASSERT_TRUE(pollOnce(*strict, start_ + 1s));
    EXPECT_EQ(server_.requests().back().path, "/strict");
}

TEST_F(NodeExporterPollerTest, TheCredentialGoesToTheMachineAloneAndOnlyFromASafeFile) {
    const QString token = credentialFile("s3cr3t-Token_1\n", 0600);
    auto machine = poller("/metrics", token);
    ASSERT_TRUE(pollOnce(*machine, start_));
    EXPECT_EQ(server_.requests().back().headers.value("authorization"), "Bearer s3cr3t-Token_1");

    // Redirected within the machine it keeps the credential, to another host it does not.
    const QByteArray other = QByteArray::number(server_.url({}).port());
    server_.route("/here", LocalHttpServer::redirect("/metrics"));
    server_.route("/away", LocalHttpServer::redirect("http://localhost:" + other + "/metrics"));
    for (const auto& [path, sent] : {std::pair{"/here", true}, std::pair{"/away", false}}) {
        auto redirected = poller(QString::fromLatin1(path), token);
        ASSERT_TRUE(pollOnce(*redirected, start_)) << path;
        EXPECT_EQ(server_.requests().back().headers.contains("authorization"), sent) << path;
    }

    const std::tuple<QByteArray, mode_t, const char*> refused[] = {
        {"token", 0644, "chmod 600"},
        {"token", 0640, "chmod 600"},
        {"two\ntokens", 0600, "one token"},
        {"bad token", 0600, "one token"},
        {"", 0600, "one token"},
    };
    for (const auto& [contents, mode, reason] : refused) {
        auto unsafe = poller("/metrics", credentialFile(contents, mode));
        EXPECT_FALSE(pollOnce(*unsafe, start_)) << contents.constData();
        EXPECT_TRUE(unsafe->problem().contains(QLatin1String(reason)))
            << unsafe->problem().toStdString();
    }
    const QString link = test::scratchDirectory() + QStringLiteral("/credential-link");
    QFile::remove(link);
    QFile::link(credentialFile("token", 0600), link);
    auto linked = poller("/metrics", link);
    EXPECT_FALSE(pollOnce(*linked, start_));
    EXPECT_EQ(authorizationFor("ada:pa ss:w"), "Basic YWRhOnBhIHNzOnc=");
}

// An exporter that answers badly is asked every interval for 30 seconds, then less and less
// often down to once every 30 seconds; the first good answer ends it at once.
TEST_F(NodeExporterPollerTest, BacksOffWhileTheAnswersAreBadAndRecoversAtOnce) {
    server_.route("/flaky", LocalHttpServer::json("", 503));
    auto machine = poller("/flaky");
    std::vector<int> tried;
    for (int second = 0; second <= 130; ++second) {
        const auto now = start_ + second * 1s;
        if (machine->poll(shownByDefault(), 1s, now)) {
            tried.push_back(second);
            QDeadlineTimer deadline(20s);
            while (machine->isFetching() && !deadline.hasExpired()) {
                QTest::qWait(2);
            }
        }
    }
    std::vector<int> expected;
    for (int second = 0; second <= 30; ++second) {
        expected.push_back(second);
    }
    for (int second : {32, 36, 44, 60, 90, 120}) {
        expected.push_back(second);
    }
    EXPECT_EQ(tried, expected);
    EXPECT_EQ(log_.size(), 1);

    server_.route("/flaky", LocalHttpServer::json(body));
    EXPECT_FALSE(pollOnce(*machine, start_ + 149s));
    EXPECT_TRUE(pollOnce(*machine, start_ + 150s));
    EXPECT_EQ(machine->state(), State::fresh);
    EXPECT_TRUE(pollOnce(*machine, start_ + 151s));
}

// A machine (or its exporter) that is down is tried every interval however long it is gone:
// each try ends at the refused connection. The first interval after it is back has figures.
TEST_F(NodeExporterPollerTest, AMachineThatIsDownIsTriedEveryIntervalAndReadOnceBack) {
    auto machine = poller("/metrics");
    ASSERT_TRUE(pollOnce(*machine, start_));
    ASSERT_TRUE(server_.setListening(false));
    int tried = 0;
    for (int second = 1; second <= 120; ++second) {
        if (machine->poll(shownByDefault(), 1s, start_ + second * 1s)) {
            ++tried;
            QDeadlineTimer deadline(20s);
            while (machine->isFetching() && !deadline.hasExpired()) {
                QTest::qWait(2);
            }
        }
    }
    EXPECT_EQ(tried, 120);
    EXPECT_EQ(machine->state(), State::unreachable);
    EXPECT_TRUE(machine->problem().contains(QLatin1String("refused")))
        << machine->problem().toStdString();
    EXPECT_EQ(log_.size(), 1);

    ASSERT_TRUE(server_.setListening(true));
    EXPECT_TRUE(pollOnce(*machine, start_ + 121s));
    EXPECT_EQ(machine->state(), State::fresh);
}

} // namespace
} // namespace trovimo
