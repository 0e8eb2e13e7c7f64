// End to end: the real program under Xvfb, fed faults by its surroundings (a hidden /proc
// file, no network, a vanishing GPU, unwritable or corrupt settings, a hostile update feed).
// Each case: no crash, the documented absent values or log lines, nothing lost.
//
// The cases that hide kernel files run the program in a private mount and network
// namespace (unshare), which needs root; they skip, saying so, without it.
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString programPath = QStringLiteral(TROVIMO_PROGRAM);
const QString samplePath = QStringLiteral(TROVIMO_SAMPLE_PROGRAM);

// One X server for the whole program, started on a free display number.
class XServer {
public:
    static XServer& instance() {
        static XServer server;
        return server;
    }
    [[nodiscard]] bool running() const { return !display_.isEmpty(); }
    [[nodiscard]] QString display() const { return display_; }
    [[nodiscard]] QString why() const { return why_; }
    ~XServer() {
        for (QProcess* process : {&windowManager_, &xvfb_}) {
            process->terminate();
            process->waitForFinished(3000);
        }
    }

private:
    XServer() {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
            why_ = QStringLiteral("Xvfb is not installed (scripts/deps test installs it)");
            return;
        }
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            why_ = QStringLiteral("no pipe");
            return;
        }
        xvfb_.setProgram(QStringLiteral("Xvfb"));
        xvfb_.setArguments({QStringLiteral("-displayfd"), QString::number(pipeFds[1]),
                            QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp")});
        xvfb_.setChildProcessModifier([fd = pipeFds[1]] { fcntl(fd, F_SETFD, 0); });
        xvfb_.start();
        ::close(pipeFds[1]);
        char buffer[16] = {};
        const ssize_t got = xvfb_.waitForStarted(5000) ? ::read(pipeFds[0], buffer, 15) : -1;
        ::close(pipeFds[0]);
        if (got <= 0) {
            why_ = QStringLiteral("Xvfb did not start");
            return;
        }
        display_ = QStringLiteral(":") + QString::fromLatin1(buffer).trimmed();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        windowManager_.setProcessEnvironment(env);
        windowManager_.start(QStringLiteral("openbox"), {});
        windowManager_.waitForStarted(5000);
        QTest::qWait(500);
    }

    QProcess xvfb_;
    QProcess windowManager_;
    QString display_;
    QString why_;
};

struct Outcome {
    bool started = false;
    bool exitedBySignal = false;
    int exitCode = -1;
    QString errors;
};

class FaultMatrix : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XServer::instance().running()) {
            GTEST_SKIP() << "no X server could be started: "
                         << XServer::instance().why().toStdString();
        }
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(configDir());
    }

    QString configDir() const { return home.path() + QStringLiteral("/.config/Trovimo"); }
    QString settingsFile() const { return configDir() + QStringLiteral("/Trovimo.conf"); }

    void writeSettings(const QByteArray& contents) {
        QFile file(settingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), XServer::instance().display());
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/.local/share"));
        for (const auto& [key, value] : extraEnvironment) {
            if (value.isNull()) {
                env.remove(key);
            } else {
                env.insert(key, value);
            }
        }
        return env;
    }

    static bool isRoot() { return geteuid() == 0; }

    // Runs `command` (the program, or a shell line that ends by exec'ing it) for `seconds`,
    // then asks it to quit with SIGTERM, the way a session ends.
    Outcome runFor(const QString& program, const QStringList& arguments, int seconds) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(program, arguments);
        Outcome outcome;
        outcome.started = process.waitForStarted(10000);
        if (!outcome.started) {
            return outcome;
        }
        QTest::qWait(seconds * 1000);
        if (process.state() == QProcess::Running) {
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        }
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(3000);
        }
        outcome.exitedBySignal = process.exitStatus() == QProcess::CrashExit;
        outcome.exitCode = process.exitCode();
        outcome.errors = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    }

    Outcome runProgram(int seconds) { return runFor(programPath, {}, seconds); }

    // Runs a shell line inside a private mount and network namespace.
    Outcome runIsolated(const QString& setup, const QString& command, int seconds) {
        return runFor(QStringLiteral("unshare"),
                      {QStringLiteral("--mount"), QStringLiteral("--net"),
                       QStringLiteral("--propagation"), QStringLiteral("private"),
                       QStringLiteral("sh"), QStringLiteral("-c"),
                       setup + QStringLiteral(" && exec ") + command},
                      seconds);
    }

    // The sample tool's last JSON line, run the same way.
    QJsonObject isolatedSample(const QString& setup, const QString& arguments = {}) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral("unshare"),
                      {QStringLiteral("--mount"), QStringLiteral("--net"),
                       QStringLiteral("--propagation"), QStringLiteral("private"),
                       QStringLiteral("sh"), QStringLiteral("-c"),
                       setup + QStringLiteral(" && exec '") + samplePath +
                           QStringLiteral("' --count 2 --interval 0.2 ") + arguments});
        process.waitForFinished(30000);
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        const QList<QByteArray> lines = process.readAllStandardOutput().trimmed().split('\n');
        return QJsonDocument::fromJson(lines.last()).object();
    }

    static void expectCleanExit(const Outcome& outcome) {
        ASSERT_TRUE(outcome.started);
        EXPECT_FALSE(outcome.exitedBySignal) << outcome.errors.toStdString();
        EXPECT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
    }

    QTemporaryDir home;
    std::vector<std::pair<QString, QString>> extraEnvironment;
};

TEST_F(FaultMatrix, RunsAndQuitsCleanlyOnSigterm) {
    const Outcome outcome = runProgram(3);
    expectCleanExit(outcome);
}

TEST_F(FaultMatrix, NoDisplayIsReportedNotAborted) {
    extraEnvironment = {{QStringLiteral("DISPLAY"), QString()},
                        {QStringLiteral("WAYLAND_DISPLAY"), QString()},
                        {QStringLiteral("QT_QPA_PLATFORM"), QString()}};
    const Outcome outcome = runProgram(1);
    ASSERT_TRUE(outcome.started);
    EXPECT_FALSE(outcome.exitedBySignal);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(outcome.errors.contains(QStringLiteral("DISPLAY"))) << outcome.errors.toStdString();
}

TEST_F(FaultMatrix, MemoryPressureFileMissing) {
    if (!isRoot()) {
        GTEST_SKIP() << "hiding /proc/pressure needs a private mount namespace (root)";
    }
    const QString hide = QStringLiteral("mount -t tmpfs none /proc/pressure");
    const QJsonObject sample = isolatedSample(hide);
    ASSERT_TRUE(sample.value(QStringLiteral("memory")).isObject());
    const QJsonObject memory = sample.value(QStringLiteral("memory")).toObject();
    EXPECT_TRUE(memory.value(QStringLiteral("pressure")).isNull());
    EXPECT_GT(memory.value(QStringLiteral("total")).toDouble(), 0.0) << "the rest stays intact";
    expectCleanExit(runIsolated(hide, QStringLiteral("'") + programPath + QStringLiteral("'"), 3));
}

TEST_F(FaultMatrix, OnlyLoopbackNetwork) {
    if (!isRoot()) {
        GTEST_SKIP() << "an empty network namespace needs root";
    }
    const QString none = QStringLiteral("true");
    const QJsonObject sample = isolatedSample(none);
    EXPECT_TRUE(sample.value(QStringLiteral("networkInfo")).isNull());
    expectCleanExit(runIsolated(none, QStringLiteral("'") + programPath + QStringLiteral("'"), 3));
}

TEST_F(FaultMatrix, NoGpuAndAGpuThatDisappearsMidRun) {
    if (!isRoot()) {
        GTEST_SKIP() << "faking /sys/class/drm needs a private mount namespace (root)";
    }
    // A tmpfs over /sys/class (some machines have no /sys/class/drm to mount on).
    const QString noGpu = QStringLiteral("mount -t tmpfs none /sys/class && mkdir /sys/class/drm");
    EXPECT_TRUE(isolatedSample(noGpu).value(QStringLiteral("gpu")).isNull());

    // An amdgpu card that answers 37 %, then vanishes while the reader holds it: the test
    // removes it through /proc/PID/root, inside the tool's own mount namespace, once the
    // first sample is out.
    const QString card =
        noGpu + QStringLiteral(" && mkdir -p /sys/class/drm/card0/device && "
                               "echo 0x1002 > /sys/class/drm/card0/device/vendor && "
                               "echo 37 > /sys/class/drm/card0/device/gpu_busy_percent");
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral("unshare"),
                  {QStringLiteral("--mount"), QStringLiteral("--propagation"),
                   QStringLiteral("private"), QStringLiteral("sh"), QStringLiteral("-c"),
                   card + QStringLiteral(" && exec '") + samplePath +
                       QStringLiteral("' --count 4 --interval 0.3")});
    ASSERT_TRUE(process.waitForReadyRead(30000));
    const QByteArray first = process.readLine();
    const QString cardPath =
        QStringLiteral("/proc/%1/root/sys/class/drm/card0").arg(process.processId());
    EXPECT_TRUE(QDir(cardPath).removeRecursively());
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    const QList<QByteArray> rest = process.readAllStandardOutput().trimmed().split('\n');
    EXPECT_DOUBLE_EQ(
        QJsonDocument::fromJson(first).object().value(QStringLiteral("gpu")).toDouble(-1), 0.37);
    EXPECT_TRUE(
        QJsonDocument::fromJson(rest.last()).object().value(QStringLiteral("gpu")).isNull());

    expectCleanExit(runIsolated(card, QStringLiteral("'") + programPath + QStringLiteral("'"), 3));
}

TEST_F(FaultMatrix, CorruptSettingsFileIsReadButNotLost) {
    QByteArray garbage("[General]\nupdateInterval=1e308\nshowCPU=perhaps\ndiskAlertThreshold=abc\n"
                       "showGPU=1\nalwaysOnTop=\x01\x02\nupdateFeedURL=42\n");
    for (int i = 0; i < 2048; ++i) {
        garbage.append(static_cast<char>((i * 37 + 11) & 0xFF));
    }
    writeSettings(garbage);
    expectCleanExit(runProgram(3));
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage) << "the program rewrote a settings file nobody changed";
}

TEST_F(FaultMatrix, ReadOnlyConfigDirectory) {
    writeSettings("[General]\nshowSelf=true\n");
    QFile::setPermissions(configDir(), QFile::ReadOwner | QFile::ExeOwner);
    const Outcome outcome =
        isRoot()
            ? runFor(QStringLiteral("unshare"),
                     {QStringLiteral("--mount"), QStringLiteral("--propagation"),
                      QStringLiteral("private"), QStringLiteral("sh"), QStringLiteral("-c"),
                      QStringLiteral(
                          "mount --bind '%1' '%1' && mount -o remount,bind,ro '%1' && exec '%2'")
                          .arg(home.path() + QStringLiteral("/.config"), programPath)},
                     3)
            : runProgram(3);
    QFile::setPermissions(configDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    expectCleanExit(outcome);
}

TEST_F(FaultMatrix, HomePointingNowhere) {
    extraEnvironment = {{QStringLiteral("HOME"), QStringLiteral("/nonexistent/trovimo-home")},
                        {QStringLiteral("XDG_CONFIG_HOME"), QString()},
                        {QStringLiteral("XDG_DATA_HOME"), QString()}};
    QProcess sample;
    sample.setProcessEnvironment(environment());
    sample.start(samplePath, {QStringLiteral("--count"), QStringLiteral("1")});
    ASSERT_TRUE(sample.waitForFinished(30000));
    EXPECT_EQ(sample.exitStatus(), QProcess::NormalExit);
    const QJsonObject json =
        QJsonDocument::fromJson(sample.readAllStandardOutput().trimmed()).object();
    EXPECT_TRUE(json.value(QStringLiteral("disk")).isNull());
    EXPECT_FALSE(QDir(QStringLiteral("/nonexistent")).exists()) << "nothing may be created there";
    expectCleanExit(runProgram(3));
    EXPECT_FALSE(QDir(QStringLiteral("/nonexistent")).exists());
}

// A feed server on loopback that answers every request with one canned reply (or none).
class FeedServer : public QObject {
public:
    explicit FeedServer(QByteArray reply) : reply_(std::move(reply)) {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++requests;
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (socket->readAll().contains("\r\n\r\n") && !reply_.isEmpty()) {
                        socket->write(reply_);
                        socket->disconnectFromHost();
                    }
                });
            }
        });
    }
    [[nodiscard]] QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/trovimo/version.json").arg(server_.serverPort());
    }
    int requests = 0;

private:
    QTcpServer server_;
    QByteArray reply_;
};

QByteArray httpReply(const QByteArray& status, const QByteArray& body,
                     const QByteArray& headers = {}) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n" + headers + "Connection: close\r\n\r\n" + body;
}

TEST_F(FaultMatrix, HostileOrAbsentUpdateFeedIsLoggedOncePerPoll) {
    const QByteArray failureLine =
        QStringLiteral("UpdateStore: バージョン情報の取得に失敗: ").toUtf8();
    struct Case {
        const char* name;
        QByteArray reply;
    };
    const QByteArray oversized(100 * 1024, ' ');
    const Case cases[] = {
        {"wrong scheme",
         httpReply("200 OK", R"({"latestVersion":"99.0","url":"file:///etc/passwd"})")},
        {"oversized",
         httpReply("200 OK",
                   "{\"latestVersion\":\"99.0\",\"url\":\"https://a.test/\"" + oversized + "}")},
        {"redirect to http",
         httpReply("302 Found", "", "Location: http://127.0.0.1:1/version.json\r\n")},
        {"not json", httpReply("200 OK", "<html>")},
        {"server error", httpReply("500 Internal Server Error", "{}")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeedServer server(c.reply);
        writeSettings("[General]\nupdateFeedURL=" + server.url().toUtf8() + "\n");
        const Outcome outcome = runProgram(3);
        expectCleanExit(outcome);
        // Qt may try a request again on a fresh connection; the poll itself is one, which
        // the single log line shows.
        EXPECT_GE(server.requests, 1);
        EXPECT_EQ(outcome.errors.toUtf8().count(failureLine), 1) << outcome.errors.toStdString();
    }

    // A server that is down: the port closed.
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 port = closed.serverPort();
    closed.close();
    writeSettings(
        QStringLiteral("[General]\nupdateFeedURL=http://127.0.0.1:%1/v.json\n").arg(port).toUtf8());
    const Outcome down = runProgram(3);
    expectCleanExit(down);
    EXPECT_EQ(down.errors.toUtf8().count(failureLine), 1) << down.errors.toStdString();

    // A server that accepts and never answers: no crash, and quitting is not held up.
    FeedServer silent{QByteArray()};
    writeSettings("[General]\nupdateFeedURL=" + silent.url().toUtf8() + "\n");
    expectCleanExit(runProgram(3));
}

} // namespace
