// End to end: the real program under Xvfb, fed faults by its surroundings (a hidden /proc
// file, no network, a vanishing GPU, unwritable or corrupt settings, a hostile update feed).
// Each case: no crash, the documented absent values or log lines, nothing lost.
//
// The cases that hide kernel files run the program in a private mount and network
// namespace (unshare), which needs root; they skip, saying so, without it.
#include "faults/FaultMatrix.h"

#include <sys/stat.h>

namespace {

using namespace trovimo::faults;
using trovimo::test::LocalHttpServer;

TEST_F(FaultMatrix, UnreachableDisplayIsReportedNotAborted) {
    // As at a login before the session is ready: one line and status 1, not Qt's abort.
    // Qt's -display names the display in DISPLAY's place, reachable or not.
    const QString display = qEnvironmentVariable("DISPLAY");
    const std::tuple<const char*, QString, QString, QString, QStringList> cases[] = {
        {"nothing set", {}, {}, {}, {}},
        {"no X server there", QStringLiteral(":7373"), {}, {}, {}},
        {"no compositor there", {}, QStringLiteral("wayland-73"), {}, {}},
        {"Wayland chosen, none there", display, {}, QStringLiteral("wayland"), {}},
        {"-display names no X server", display, {}, {}, {QStringLiteral("-display"), ":7373"}},
    };
    for (const auto& [name, variable, wayland, platform, arguments] : cases) {
        SCOPED_TRACE(name);
        extraEnvironment = {{QStringLiteral("DISPLAY"), variable},
                            {QStringLiteral("WAYLAND_DISPLAY"), wayland},
                            {QStringLiteral("QT_QPA_PLATFORM"), platform},
                            {QStringLiteral("XDG_RUNTIME_DIR"), home.path()}};
        const Outcome outcome = runFor(programPath, arguments, 1);
        ASSERT_TRUE(outcome.started);
        EXPECT_FALSE(outcome.exitedBySignal);
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_TRUE(outcome.errors.startsWith(QStringLiteral("Trovimo: ")));
        EXPECT_EQ(outcome.errors.count(QLatin1Char('\n')), 1) << outcome.errors.toStdString();
        EXPECT_TRUE(QDir(home.path()).entryList({QStringLiteral("*.socket")}).isEmpty());
    }
    extraEnvironment = {{QStringLiteral("DISPLAY"), QString()},
                        {QStringLiteral("XDG_RUNTIME_DIR"), home.path()}};
    expectCleanExit(runFor(programPath, {QStringLiteral("--display"), display}, 2));
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
    expectCleanExit(runIsolated(hide));
}

TEST_F(FaultMatrix, OnlyLoopbackNetwork) {
    if (!isRoot()) {
        GTEST_SKIP() << "an empty network namespace needs root";
    }
    const QString none = QStringLiteral("true");
    const QJsonObject sample = isolatedSample(none);
    EXPECT_TRUE(sample.value(QStringLiteral("networkInfo")).isNull());
    expectCleanExit(runIsolated(none));
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
                  unshare(card, samplePath, QStringLiteral("--count 4 --interval 0.3"), false));
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

    expectCleanExit(runIsolated(card));
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

TEST_F(FaultMatrix, HostileOrAbsentUpdateFeedIsLoggedOncePerPoll) {
    const QByteArray failureLine =
        QStringLiteral("UpdateStore: バージョン情報の取得に失敗: ").toUtf8();
    using Case = std::pair<const char*, LocalHttpServer::Response>;
    // What the feed may hold is the update tests' table; here, one answer the helper cuts
    // short and one it cannot follow.
    const QByteArray oversized(100 * 1024, ' ');
    const Case cases[] = {
        {"oversized",
         LocalHttpServer::json("{\"latestVersion\":\"99.0\",\"url\":\"https://a.test/\"" +
                               oversized + "}")},
        {"redirect to http", LocalHttpServer::redirect("http://127.0.0.1:1/version.json")},
    };
    for (const auto& [name, reply] : cases) {
        SCOPED_TRACE(name);
        LocalHttpServer server;
        server.route("/trovimo/version.json", reply);
        writeSettings("[General]\n" + feedSetting(server));
        const Outcome outcome = runProgram(3);
        expectCleanExit(outcome);
        // Qt may try a request again on a fresh connection; the poll itself is one, which
        // the single log line shows.
        EXPECT_GE(server.requests().size(), 1);
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
    LocalHttpServer silent;
    silent.route("/trovimo/version.json", LocalHttpServer::noAnswer());
    writeSettings("[General]\n" + feedSetting(silent));
    expectCleanExit(runProgram(3));
}

TEST_F(FaultMatrix, FeedTextIsShownCleanAndOnlyANewerVersionIsAnUpdate) {
    // The badge as drawn (its red), once the feed was asked for.
    const auto badgeWithFeed = [this](const QByteArray& feed, bool shown) {
        LocalHttpServer server;
        server.route("/trovimo/version.json",
                     LocalHttpServer::json(feed + R"(,"url":"https://a.test/"})"));
        return alertWith(
            "showDisk=false\n" + feedSetting(server), [&] { return !server.requests().isEmpty(); },
            shown);
    };
    const QImage clean =
        badgeWithFeed(R"({"latestVersion":"99.0Xevil","minimumVersion":"99")", true);
    EXPECT_FALSE(clean.isNull());
    // A right-to-left override would draw the end of the badge backwards, a line separator
    // put it on a second line over the divider.
    for (const char* hostile : {R"({"latestVersion":"99.0\u202eXevil","minimumVersion":"99")",
                                R"({"latestVersion":"99.0\u2028Xevil","minimumVersion":"99")"}) {
        EXPECT_TRUE(badgeWithFeed(hostile, true) == clean) << hostile;
    }
    // "Required", but to a version older than this one.
    EXPECT_TRUE(badgeWithFeed(R"({"latestVersion":"0.0.1","minimumVersion":"99")", false).isNull());
}

TEST_F(FaultMatrix, NoOtherUserCanSwitchTheSingleInstanceGuardOff) {
    if (!isRoot()) {
        GTEST_SKIP() << "a private /tmp and a read-only mount need a mount namespace (root)";
    }
    // Not under /tmp, which the first case hides.
    const QTemporaryDir user(QStringLiteral(TROVIMO_BINARY_DIR "/faults-home-XXXXXX"));
    const QString runtime = user.path() + QStringLiteral("/runtime");
    QDir().mkdir(runtime);
    const std::pair<const char*, QString> cases[] = {
        {"a world-writable folder in /tmp where the fallback was",
         QStringLiteral("mount -t tmpfs none /tmp && mkdir -m 777 /tmp/trovimo-$(id -u)")},
        {"a read-only runtime folder",
         QStringLiteral("chmod 700 %1 && mount --bind %1 %1 && mount -o remount,bind,ro %1 && "
                        "export XDG_RUNTIME_DIR=%1")
             .arg(runtime)},
    };
    // A panel, then (once it listens, or 60 s on) a second start, which must hand over and end
    // with 0, not run a second panel unguarded. The socket a panel killed early left behind is
    // removed first: a second start must not take it for the new one.
    const QString starts =
        QStringLiteral(" && rm -f ~/.cache/trovimo/*.socket && { \"$0\" & "
                       "sock=~/.cache/trovimo/trovimo-$DISPLAY.socket;"
                       " i=0; until [ -S $sock ] || [ $i -gt 600 ]; do sleep 0.1; i=$((i+1)); done;"
                       " echo \"second start after $i polls\" >&2; timeout 60 \"$0\"; s=$?;"
                       " kill $!; wait; exit $s; }");
    extraEnvironment = {{QStringLiteral("HOME"), user.path()},
                        {QStringLiteral("XDG_RUNTIME_DIR"), {}},
                        {QStringLiteral("XDG_CACHE_HOME"), {}}};
    for (const auto& [name, setup] : cases) {
        SCOPED_TRACE(name);
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral("unshare"),
                      QStringLiteral("--mount --propagation private sh -c").split(u' ') +
                          QStringList{setup + starts, programPath});
        EXPECT_TRUE(process.waitForFinished(180000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        struct stat folder {};
        ::stat(QFile::encodeName(user.path() + "/.cache/trovimo").constData(), &folder);
        EXPECT_EQ(folder.st_mode & 07777, 0700U);
    }
}

// Alive and not a zombie: a process reparented to an init that does not reap stays one.
bool alive(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray fields = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    const qsizetype end = fields.lastIndexOf(')');
    return end > 0 && fields.mid(end + 2, 1) != "Z";
}

TEST_F(FaultMatrix, HangupQuitsAndTheFeedHelperDiesWithThePanel) {
    LocalHttpServer silent; // keeps the helper waiting
    silent.route("/trovimo/version.json", LocalHttpServer::noAnswer());
    writeSettings("[General]\n" + feedSetting(silent));
    for (const int signalNumber : {SIGHUP, SIGKILL}) {
        SCOPED_TRACE(signalNumber);
        qint64 helper = 0;
        const Outcome outcome = runProgram(0, [&](qint64 pid) {
            QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
            for (int i = 0; i < 100 && helper == 0; ++i) {
                QTest::qWait(100);
                children.open(QIODevice::ReadOnly);
                helper = children.readAll().trimmed().split(' ').first().toLongLong();
                children.close();
            }
            ::kill(static_cast<pid_t>(pid), signalNumber);
        });
        ASSERT_NE(helper, 0);
        for (int i = 0; i < 50 && alive(helper); ++i) {
            QTest::qWait(100);
        }
        EXPECT_FALSE(alive(helper));
        if (signalNumber == SIGHUP) {
            expectCleanExit(outcome);
        }
    }
}

} // namespace
