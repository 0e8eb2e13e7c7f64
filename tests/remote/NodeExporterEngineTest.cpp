// This very machine read both ways: through Debian's prometheus-node-exporter, started here
// on a free loopback port with the collectors named on its command line, and through the
// local readers. The figures must agree as far as the two reads are apart in time.
#include "readers/CPUStatsReader.h"
#include "readers/MemoryStatsReader.h"
#include "readers/NetworkStatsReader.h"
#include "remote/HttpConnection.h"
#include "remote/NodeExporterPoller.h"
#include "remote/NodeExporterReader.h"
#include "remote/NodeMetrics.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>

namespace trovimo {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t MiB = 1024 * 1024;

// A node exporter of our own on a port free at the time; killed (only it) at the end.
class Exporter {
public:
    explicit Exporter(const QStringList& extra = {}) {
        const QString program = QStandardPaths::findExecutable(
            QStringLiteral("prometheus-node-exporter"), {QStringLiteral("/usr/bin")});
        if (program.isEmpty()) {
            ADD_FAILURE() << "prometheus-node-exporter is not installed (scripts/deps test)";
            return;
        }
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        QStringList arguments{QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port_),
                              QStringLiteral("--web.disable-exporter-metrics"),
                              QStringLiteral("--collector.disable-defaults")};
        for (const char* collector :
             {"cpu", "meminfo", "pressure", "netdev", "netclass", "filesystem", "time", "stat",
              "diskstats", "hwmon", "thermal_zone", "powersupplyclass"}) {
            arguments << QStringLiteral("--collector.") + QLatin1String(collector);
        }
        process_.setStandardErrorFile(QProcess::nullDevice()); // its start-up chatter
        process_.start(program, arguments + extra);
    }
    ~Exporter() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    // Whether it listens, after waiting for it a while.
    [[nodiscard]] bool awaitListening() const {
        QDeadlineTimer deadline(30s);
        while (!deadline.hasExpired()) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port_);
            if (socket.waitForConnected(1000)) {
                return true;
            }
            QTest::qWait(100);
        }
        return false;
    }
    [[nodiscard]] QString url(const char* scheme = "http") const {
        return QStringLiteral("%1://127.0.0.1:%2/metrics").arg(QLatin1String(scheme)).arg(port_);
    }

private:
    QProcess process_;
    quint16 port_ = 0;
};

// One body, fetched now; empty when the exporter does not answer.
std::string fetchBody(HttpConnection& connection, const QString& url) {
    HttpResponseParser response(4 * MiB);
    std::string problem;
    const auto target = httpTargetOf(url.toStdString());
    const bool ok = target && connection.get(*target, {}, std::chrono::steady_clock::now() + 5s,
                                             response, problem);
    return ok && response.status() == 200 ? response.body() : std::string();
}

std::string awaitBody(HttpConnection& connection, const QString& url) {
    QDeadlineTimer deadline(30s);
    std::string body;
    while ((body = fetchBody(connection, url)).empty() && !deadline.hasExpired()) {
        QTest::qWait(100);
    }
    return body;
}

TEST(NodeExporterEngine, ThisMachineReadsTheSameBothWays) {
    Exporter exporter;
    HttpConnection connection;
    const std::string first = awaitBody(connection, exporter.url());
    ASSERT_FALSE(first.empty()) << "the exporter never answered";

    CPUStatsReader cpu;
    NodeExporterReader remote;
    std::atomic<bool> spinning{true};
    std::thread busy([&] {
        while (spinning.load(std::memory_order_relaxed)) {
        }
    });
    (void)cpu.read();
    (void)remote.read(fetchBody(connection, exporter.url()), BoottimeClock::now(),
                      shownByDefault());
    std::this_thread::sleep_for(1s);
    const auto localLoad = cpu.read();
    const auto local = MemoryStatsReader().read();
    const Figures figures =
        remote.read(fetchBody(connection, exporter.url()), BoottimeClock::now(), shownByDefault());
    spinning = false;
    busy.join();

    ASSERT_TRUE(localLoad && figures.cpu && local && figures.memory);
    EXPECT_EQ(figures.cpu->perCore.size(), localLoad->perCore.size());
    EXPECT_NEAR(figures.cpu->total, localLoad->total, 0.15);
    EXPECT_EQ(figures.memory->total, local->total);
    EXPECT_NEAR(static_cast<double>(figures.memory->used), static_cast<double>(local->used),
                32.0 * MiB);
    ASSERT_TRUE(figures.networkInfo);

    // The file system the exporter reports: /home where it is a mount of its own, else /.
    NodeMetrics metrics;
    const std::string body = fetchBody(connection, exporter.url());
    readNodeMetrics(body, metrics);
    const char* mount = metrics.home ? "/home" : "/";
    struct statvfs volume {};
    ASSERT_EQ(::statvfs(mount, &volume), 0);
    ASSERT_TRUE(figures.disk) << "no file system at " << mount;
    EXPECT_EQ(static_cast<std::uint64_t>(figures.disk->total), volume.f_blocks * volume.f_bsize);

    // Counters move together: the exporter's count of the interface the panel shows lies
    // between ours before and after its read. (Datagrams sent to provoke a change may wait
    // for the next hop's address, or be dropped on a sandbox's network, so their bytes are
    // not asked for.)
    const std::string shown = figures.networkInfo->interfaceName;
    const auto counted = [&] {
        std::ifstream file("/proc/net/dev");
        const std::string text(std::istreambuf_iterator<char>(file), {});
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = std::min(text.find('\n', at), text.size());
            const auto counters = parseNetDevLine(std::string_view(text).substr(at, end - at));
            at = end + 1;
            if (counters && counters->name == shown) {
                return counters->txBytes;
            }
        }
        return std::uint64_t{0};
    };
    const std::uint64_t before = counted();
    const std::string later = fetchBody(connection, exporter.url());
    const std::uint64_t after = counted();
    readNodeMetrics(later, metrics);
    const auto entry = std::find_if(metrics.interfaces.begin(), metrics.interfaces.end(),
                                    [&](const auto& each) { return each.name == shown; });
    ASSERT_NE(entry, metrics.interfaces.end());
    ASSERT_TRUE(entry->txBytes);
    EXPECT_GE(*entry->txBytes, before) << shown;
    EXPECT_LE(*entry->txBytes, after) << shown;
}

// The poller against the real engine: it accepts the collectors we ask for, and over https a
// certificate for another name is refused while the right one is read.
TEST(NodeExporterEngine, ThePollerReadsItOverHttpAndVerifiedHttps) {
    const QString tls = QString::fromStdString(test::fixturePath("remote/tls"));
    const QString config = test::scratchDirectory() + QStringLiteral("/web.yml");
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("tls_server_config:\n  cert_file: %1/server.crt\n"
                              "  key_file: %1/server.key\n")
                   .arg(tls)
                   .toUtf8());
    file.close();
    Exporter plain;
    Exporter secure({QStringLiteral("--web.config.file=") + config});
    ASSERT_TRUE(plain.awaitListening() && secure.awaitListening());
    qputenv("SSL_CERT_FILE", QFile::encodeName(tls + QStringLiteral("/ca.crt")));

    // Two bodies (the second has rates), or the first failure.
    const auto read = [](const QString& url) {
        NodeExporterPoller poller(RemoteMachine{QStringLiteral("here"), url, {}});
        QSignalSpy figures(&poller, &NodeExporterPoller::figuresArrived);
        QDeadlineTimer deadline(30s);
        auto now = BoottimeClock::now();
        while (figures.size() < 2 && poller.state() != NodeExporterPoller::State::unreachable &&
               !deadline.hasExpired()) {
            if (poller.poll(shownByDefault(), 5s, now)) {
                now += 1s;
            }
            QTest::qWait(20);
        }
        return std::pair{figures.size() >= 2 ? figures.last().at(0).value<Figures>() : Figures{},
                         poller.problem()};
    };
    const auto [overHttp, httpProblem] = read(plain.url());
    EXPECT_TRUE(overHttp.cpu && overHttp.memory && overHttp.network && overHttp.disk)
        << httpProblem.toStdString();
    const auto [overHttps, httpsProblem] = read(secure.url("https"));
    EXPECT_TRUE(overHttps.cpu && overHttps.memory) << httpsProblem.toStdString();
    // "localhost" is not the name the certificate gives (127.0.0.1).
    QString wrongName = secure.url("https");
    wrongName.replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
    const auto [refused, refusal] = read(wrongName);
    EXPECT_FALSE(refused.memory);
    EXPECT_TRUE(refusal.contains(QLatin1String("certificate"))) << refusal.toStdString();
    qunsetenv("SSL_CERT_FILE");
}

} // namespace
} // namespace trovimo
