// End to end: the real program under Xvfb with settings files a person or a tool may leave
// behind: values the program cannot honour, a file that is not a file or is far too large, a
// file that cannot be written. Each case: the documented value in use, one log line naming
// it, the file left as it was, no change lost without a line.
#include "faults/FaultMatrix.h"

#include <QFileInfo>

namespace {

using namespace trovimo::faults;

TEST_F(FaultMatrix, SettingsValuesThatCannotBeHonouredAreNamedOnce) {
    const std::pair<QByteArray, QString> cases[] = {
        {"[General]\nupdateInterval=1e-9\n",
         QStringLiteral("StatsStore: 更新間隔 1e-09 秒の代わりに 0.1 秒で計測します")},
        {"[General]\nupdateInterval=inf\n",
         QStringLiteral("StatsStore: 更新間隔 inf 秒の代わりに 1 秒で計測します")},
        {"[windowFrames]\nTrovimoMain=-2147483648 0 190 444\n",
         QStringLiteral("FrameAutosave: TrovimoMain の保存された位置を読めません: "
                        "-2147483648 0 190 444")},
    };
    for (const auto& [settings, line] : cases) {
        SCOPED_TRACE(settings.toStdString());
        writeSettings(settings);
        const Outcome outcome = runProgram(2);
        expectCleanExit(outcome);
        EXPECT_EQ(outcome.errors.count(line), 1) << outcome.errors.toStdString();
        EXPECT_EQ(settingsContents(), settings);
    }
}

TEST_F(FaultMatrix, DiskAlertThresholdOutsideAFractionIsClamped) {
    // No disk figures (HOME nowhere), so only the threshold decides whether the panel alerts,
    // and what its alert says.
    extraEnvironment = {{QStringLiteral("HOME"), QStringLiteral("/nonexistent/trovimo-home")}};
    const auto alertWithThreshold = [this](const QByteArray& threshold, bool alert) {
        return alertWith(
            "updateFeedURL=http://127.0.0.1:9/\ndiskAlertThreshold=" + threshold + "\n",
            [] { return true; }, alert);
    };
    const QImage atZero = alertWithThreshold("0", true);
    EXPECT_FALSE(atZero.isNull()) << "0 % is passed even by an empty disk";
    EXPECT_TRUE(alertWithThreshold("-5", true) == atZero) << "-500 % reads 0 %";
    EXPECT_TRUE(alertWithThreshold("-inf", false).isNull()) << "the default, 90 %";
}

TEST_F(FaultMatrix, SettingsFileThatCannotBeUsedIsLeftAloneAndNoChangeIsLostSilently) {
    const QString locked = home.path() + QStringLiteral("/locked");
    // Each made by a shell line: $1 the settings file, $2 a folder made read-only for the run.
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"a FIFO", R"(mkfifo "$1")", false},
        {"2 MiB", R"({ echo [General]; head -c 2097152 /dev/zero | tr '\0' ';'; } >"$1")", false},
        // Qt's status keeps its first error: a line it could not parse hides every failure
        // to write.
        {"a link into a read-only folder",
         R"(mkdir "$2" && printf 'junk\n[General]\n' >"$2/t.conf" && ln -s "$2/t.conf" "$1")",
         true},
    };
    for (const auto& [name, make, readable] : cases) {
        SCOPED_TRACE(name);
        QFile::remove(settingsFile());
        QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), QString::fromUtf8(make),
                                                 QStringLiteral("sh"), settingsFile(), locked});
        const bool regular = QFileInfo(settingsFile()).isFile(); // without opening it
        const QByteArray before = regular ? settingsContents() : QByteArray();
        // The pin writes a setting, which must not be lost without a line.
        const Outcome outcome =
            readable ? runWithReadOnly(locked, 1, clickPin) : runProgram(1, clickPin);
        expectCleanExit(outcome);
        EXPECT_EQ(outcome.errors.count(QStringLiteral("を読み込みません")), readable ? 0 : 1);
        EXPECT_EQ(outcome.errors.count(QStringLiteral("SettingsStore: 設定を保存できませんでした")),
                  1)
            << outcome.errors.toStdString();
        EXPECT_EQ(QFileInfo(settingsFile()).isFile(), regular);
        EXPECT_TRUE(!regular || settingsContents() == before);
    }
}

} // namespace
