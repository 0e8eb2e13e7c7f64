// What reading another machine's node exporter once a second costs a Qt process, by the way
// the body is fetched. Run one way per process, next to the same exporter:
//
//   bench_remote_transport MODE URL [SECONDS] [WARMUP]
//
//   idle    a Qt application with a one-second timer that does nothing (the floor)
//   own     NodeExporterPoller: this program's HTTP client on a worker thread, TLS from libssl
//           loaded on first use; the body read into the blocks' figures there
//   ownsync the same client and reading on the GUI thread (what the worker thread costs)
//   spawn   a helper process per fetch (trovimo-feed-fetch, URL's body on its stdout)
//   qnam    Qt's QNetworkAccessManager on a worker thread (bench_remote_transport_qnam only)
//   helper  as qnam, in a QCoreApplication: what a long-lived helper process would cost
//
// After WARMUP seconds (default 10) it measures for SECONDS (default 30) and prints one line:
// CPU as a share of one core (the process and the children it waited for), private dirty and
// USS from /proc/self/smaps_rollup, and how many bodies were read.
#include "core/BoottimeClock.h"
#include "remote/HttpConnection.h"
#include "remote/NodeExporterPoller.h"
#include "remote/NodeExporterReader.h"

#include <QApplication>
#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <QTimer>
#ifdef TROVIMO_BENCH_QNAM
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#endif

#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace {

using namespace trovimo;

double cpuSeconds() {
    double total = 0.0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        ::getrusage(who, &usage);
        total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

long smapsField(const std::string& field) {
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string key;
    std::getline(rollup, key); // the address range line
    long value = 0;
    long found = 0;
    while (rollup >> key >> value) {
        if (key == field + ":") {
            found += value;
        }
        rollup.ignore(64, '\n');
    }
    return found;
}

struct Fetched {
    long bodies = 0;
    long failures = 0;
    std::string lastProblem;
};

// The own client run on the GUI thread itself.
struct OwnState {
    HttpConnection connection;
    HttpResponseParser response{4 * 1024 * 1024};
    NodeExporterReader reader;
};

#ifdef TROVIMO_BENCH_QNAM
class QnamWorker : public QObject {
public:
    QnamWorker(QUrl url, Fetched& fetched) : url_(std::move(url)), fetched_(fetched) {}
    void fetch() {
        if (!network_) {
            network_ = std::make_unique<QNetworkAccessManager>();
            // A test authority (as SSL_CERT_FILE is to the own client).
            if (const QByteArray file = qgetenv("SSL_CERT_FILE"); !file.isEmpty()) {
                QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
                configuration.addCaCertificates(QString::fromLocal8Bit(file));
                QSslConfiguration::setDefaultConfiguration(configuration);
            }
        }
        QNetworkRequest request(url_);
        QNetworkReply* reply = network_->get(request);
        reply->setReadBufferSize(4 * 1024 * 1024 + 1);
        QObject::connect(reply, &QNetworkReply::finished, this, [this, reply] {
            reply->deleteLater();
            const QByteArray body = reply->readAll();
            if (reply->error() != QNetworkReply::NoError) {
                ++fetched_.failures;
                fetched_.lastProblem = reply->errorString().toStdString();
                return;
            }
            (void)reader_.read(std::string_view(body.constData(), body.size()),
                               BoottimeClock::now(), shownByDefault());
            ++fetched_.bodies;
        });
    }

private:
    QUrl url_;
    Fetched& fetched_; // touched on the worker thread only while the main one waits
    std::unique_ptr<QNetworkAccessManager> network_;
    NodeExporterReader reader_;
};
#endif

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool core = mode == "helper";
    std::unique_ptr<QCoreApplication> application;
    if (core) {
        application = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        qputenv("QT_QPA_PLATFORM",
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
        application = std::make_unique<QApplication>(argc, argv);
    }
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s idle|own|ownsync|spawn|qnam|helper URL [SECONDS] [WARMUP]\n",
                     argv[0]);
        return 2;
    }
    const std::string url = argv[2];
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 30;
    const int warmup = argc > 4 ? std::atoi(argv[4]) : 10;

    Fetched fetched;
    QTimer tick;
    tick.setInterval(1000);
    NodeExporterPoller poller(
        RemoteMachine{QStringLiteral("bench"), QString::fromStdString(url), {}});
    QObject::connect(&poller, &NodeExporterPoller::figuresArrived, [&] { ++fetched.bodies; });
    QObject::connect(&poller, &NodeExporterPoller::stateChanged,
                     [&] { fetched.lastProblem = poller.problem().toStdString(); });
    std::shared_ptr<OwnState> own = std::make_shared<OwnState>();
    const auto target = httpTargetOf(url);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (mode == "own") {
            poller.poll(shownByDefault(), std::chrono::seconds(1));
        } else if (mode == "ownsync" && own && target) {
            // The same work on this thread: what the worker thread itself costs.
            std::string problem;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
            if (own->connection.get(*target, {}, deadline, own->response, problem) &&
                own->response.status() == 200) {
                (void)own->reader.read(own->response.body(), BoottimeClock::now(),
                                       shownByDefault());
                ++fetched.bodies;
            } else {
                ++fetched.failures;
                fetched.lastProblem = problem;
            }
        } else if (mode == "spawn") {
            auto* process = new QProcess;
            QObject::connect(process, &QProcess::finished, [process, &fetched](int code) {
                const QByteArray body = process->readAllStandardOutput();
                process->deleteLater();
                code == 0 ? ++fetched.bodies : ++fetched.failures;
                NodeExporterReader reader;
                (void)reader.read(std::string_view(body.constData(), body.size()),
                                  BoottimeClock::now(), shownByDefault());
            });
            process->start(QString::fromLocal8Bit(qgetenv("TROVIMO_FEED_FETCH")),
                           {QString::fromStdString(url), QStringLiteral("800")});
        }
    });
#ifdef TROVIMO_BENCH_QNAM
    QThread worker;
    QnamWorker* qnam = nullptr;
    if (mode == "qnam" || mode == "helper") {
        qnam = new QnamWorker(QUrl(QString::fromStdString(url)), fetched);
        qnam->moveToThread(&worker);
        QObject::connect(&worker, &QThread::finished, qnam, &QObject::deleteLater);
        worker.start();
        QObject::connect(&tick, &QTimer::timeout, qnam, [qnam] { qnam->fetch(); });
    }
#endif
    tick.start();

    double startCpu = 0.0;
    long startBodies = 0;
    QTimer::singleShot(warmup * 1000, [&] {
        startCpu = cpuSeconds();
        startBodies = fetched.bodies;
    });
    QTimer::singleShot((warmup + seconds) * 1000, [&] {
        const double cpu = cpuSeconds() - startCpu;
        std::printf(
            "%-6s cpu %.3f %% of a core  private dirty %ld kB  uss %ld kB  bodies %ld "
            "failures %ld%s%s\n",
            mode.c_str(), 100.0 * cpu / seconds, smapsField("Private_Dirty"),
            smapsField("Private_Dirty") + smapsField("Private_Clean"), fetched.bodies - startBodies,
            fetched.failures,
            fetched.lastProblem.empty() ? "" : "  last problem: ", fetched.lastProblem.c_str());
        if (const QByteArray copy = qgetenv("TROVIMO_BENCH_SMAPS"); !copy.isEmpty()) {
            std::ifstream in("/proc/self/smaps");
            std::ofstream(copy.toStdString()) << in.rdbuf();
        }
        QCoreApplication::exit(0);
    });
    const int status = QCoreApplication::exec();
#ifdef TROVIMO_BENCH_QNAM
    worker.quit();
    worker.wait();
#endif
    return status;
}
