// The steps main() takes before the application window exists: the command line and the
// one-panel-per-display guard. Both programs are run end to end by instance_cli_e2e.sh, which
// also starts a second panel, kills the first and races two starts.
#include "app/CommandLine.h"
#include "app/SingleInstance.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace trovimo {
namespace {

// -h, --version, an unknown option and a stray argument: instance_cli_e2e.sh, for real.
TEST(CommandLine, LeavesQtsOptionsToQtAndRejectsTheRest) {
    using Action = CommandLine::Action;
    using Row = std::tuple<QStringList, Action, const char*>;
    const Row rows[] = {
        {{}, Action::run, nullptr},
        {{"-platform", "xcb", "-style=fusion", "-reverse"}, Action::run, nullptr},
        {{"--platform", "xcb", "-display", ":1.0"}, Action::run, ":1.0"},
        {{"-qwindowgeometry", "100x50+0+0", "-name", "x", "--display=host:2"},
         Action::run,
         "host:2"},
        {{"-platform", "offscreen", "--version"}, Action::version, nullptr},
        {{"-pl", "xcb"}, Action::error, nullptr}, // no abbreviations: Qt would not take it
        {{"-display"}, Action::error, nullptr},
    };
    for (const auto& [arguments, action, display] : rows) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const CommandLine parsed = CommandLine::parse(QStringList{"trovimo"} + arguments);
        EXPECT_EQ(parsed.action, action);
        EXPECT_EQ(parsed.display.value_or(QString()), QString::fromLatin1(display));
        EXPECT_EQ(parsed.error.isEmpty(), action != Action::error);
    }
    EXPECT_EQ(CommandLine::parse({"trovimo", "--machine", "NAS 2"}).machine, "NAS 2");
    EXPECT_EQ(CommandLine::parse({"trovimo", "--machine="}).action, Action::error);
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

// Beside this machine's panel, one panel per other machine on the same display.
TEST(SingleInstance, OnePanelPerMachineBesideThisMachinesOwn) {
    QTemporaryDir runtime;
    const std::string folder = runtime.path().toStdString();
    const auto claimed = [&](const char* machine) {
        auto instance = std::make_unique<SingleInstance>(":5", folder);
        if (*machine != '\0') {
            instance->keyByMachine(machine);
        }
        const SingleInstance::Role role = instance->claim(std::chrono::seconds(2));
        return std::pair{std::move(instance), role};
    };
    const auto local = claimed("");
    const auto nas = claimed("NAS");
    const auto build = claimed("ビルド機");
    EXPECT_EQ(local.second, SingleInstance::Role::first);
    EXPECT_EQ(nas.second, SingleInstance::Role::first);
    EXPECT_EQ(build.second, SingleInstance::Role::first);
    EXPECT_EQ(claimed("NAS").second, SingleInstance::Role::handedOver);
    EXPECT_EQ(claimed("").second, SingleInstance::Role::handedOver);
}

// The fallback lies in the user's own cache directory, where no one else can make it first.
TEST(SingleInstance, ARuntimeDirectoryOthersCanReadIsNotUsed) {
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther);
    SingleInstance instance(":7", runtime.path().toStdString());
    EXPECT_EQ(instance.claim(), SingleInstance::Role::first);
    EXPECT_TRUE(QDir(runtime.path()).isEmpty());
    const auto fallback = SingleInstance::fallbackDirectory();
    ASSERT_TRUE(fallback.has_value());
    EXPECT_TRUE(
        QFile::exists(QString::fromStdString(*fallback) + QStringLiteral("/trovimo-:7.lock")));
    EXPECT_EQ(QFile::permissions(QString::fromStdString(*fallback)) & 0x077, 0);
}

} // namespace
} // namespace trovimo
