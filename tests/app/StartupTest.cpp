// The steps main() takes before the application window exists: the command line and the
// one-panel-per-display guard. Both programs are run end to end by instance_cli_e2e.sh.
#include "app/CommandLine.h"
#include "app/SingleInstance.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace trovimo {
namespace {

TEST(CommandLine, LeavesQtsOptionsToQtAndRejectsTheRest) {
    using Action = CommandLine::Action;
    struct Row {
        QStringList arguments;
        Action action;
        const char* display;
    };
    const Row rows[] = {
        {{}, Action::run, nullptr},
        {{"-platform", "xcb", "-style=fusion", "-reverse"}, Action::run, nullptr},
        {{"--platform", "xcb", "-display", ":1.0"}, Action::run, ":1.0"},
        {{"-qwindowgeometry", "100x50+0+0", "-name", "x", "--display=host:2"},
         Action::run,
         "host:2"},
        {{"-h"}, Action::help, nullptr},
        {{"-platform", "offscreen", "--version"}, Action::version, nullptr},
        {{"--frobnicate"}, Action::error, nullptr},
        {{"-pl", "xcb"}, Action::error, nullptr}, // no abbreviations: Qt would not take it
        {{"file.txt"}, Action::error, nullptr},
        {{"-display"}, Action::error, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(QLatin1Char(' ')).toStdString());
        const CommandLine parsed = CommandLine::parse(QStringList{"trovimo"} + row.arguments);
        EXPECT_EQ(parsed.action, row.action);
        EXPECT_EQ(parsed.display.value_or(QString()), QString::fromLatin1(row.display));
        EXPECT_EQ(parsed.error.isEmpty(), row.action != Action::error);
    }
}

TEST(SingleInstance, OneKeyPerDisplayWhateverItsSpelling) {
    EXPECT_EQ(SingleInstance::displayKey(":0"), ":0");
    EXPECT_EQ(SingleInstance::displayKey(":0.1"), ":0");
    EXPECT_EQ(SingleInstance::displayKey("unix:0.0"), ":0");
    EXPECT_EQ(SingleInstance::displayKey("host.example:10.0"), "host.example:10");
    EXPECT_EQ(SingleInstance::displayKey("/run/user/1000/wayland-0"), "_run_user_1000_wayland-0");
    EXPECT_EQ(SingleInstance::displayKey(""), "default");
    const std::string longName(200, 'a');
    const std::string key = SingleInstance::displayKey(longName);
    EXPECT_LE(key.size(), 48U);
    EXPECT_NE(key, SingleInstance::displayKey(longName + "b"));
}

TEST(SingleInstance, SecondClaimHandsOverUntilTheFirstIsGone) {
    QTemporaryDir runtime;
    ASSERT_TRUE(QFile::setPermissions(runtime.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const std::string directory = runtime.path().toStdString();
    auto first = std::make_unique<SingleInstance>(":7", directory);
    ASSERT_EQ(first->claim(), SingleInstance::Role::first);
    first->listen();
    QSignalSpy requested(first.get(), &SingleInstance::activationRequested);

    SingleInstance second(":7.0", directory);
    EXPECT_EQ(second.claim(), SingleInstance::Role::handedOver);
    EXPECT_TRUE(requested.wait(5000));
    SingleInstance otherDisplay(":8", directory);
    EXPECT_EQ(otherDisplay.claim(), SingleInstance::Role::first);

    first.reset();
    SingleInstance third(":7", directory);
    EXPECT_EQ(third.claim(), SingleInstance::Role::first);
}

TEST(SingleInstance, ARuntimeDirectoryOthersCanReadIsNotUsed) {
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther);
    const auto directory = SingleInstance::lockDirectory(runtime.path().toStdString());
    ASSERT_TRUE(directory.has_value());
    EXPECT_EQ(QDir(QString::fromStdString(*directory)).dirName(),
              QStringLiteral("trovimo-%1").arg(::geteuid()));
}

} // namespace
} // namespace trovimo
