#include "app/CommandLine.h"

#include "BuildInfo.h"

#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

namespace trovimo {
namespace {

// The options QGuiApplication, QApplication and the X11 platform plugin take for
// themselves (see qt6options(7)); each also works with two dashes.
constexpr const char* qtOptionsWithValue =
    "platform platformpluginpath platformtheme plugin qwindowgeometry qwindowicon qwindowtitle "
    "session style stylesheet qmljsdebugger display geometry title icon name visual";
constexpr const char* qtFlags = "reverse widgetcount nograb dograb sync testability";

// The argument as the user typed it ("-x" or "--x", with any "=value" left off), found
// from the name the parser reports.
QString asTyped(const QStringList& arguments, const QString& name) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const QString typed = argument.section(QLatin1Char('='), 0, 0);
        if (typed.startsWith(QLatin1Char('-')) &&
            typed.mid(typed.startsWith(QStringLiteral("--")) ? 2 : 1) == name) {
            return typed;
        }
    }
    return name;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    // Qt's options are words after one dash ("-platform xcb"), not bundled letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption machine(QStringLiteral("machine"), {}, QStringLiteral("name"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(machine);
    for (const QString& name : QString::fromLatin1(qtOptionsWithValue).split(QLatin1Char(' '))) {
        parser.addOption(QCommandLineOption(name, {}, QStringLiteral("value")));
    }
    for (const QString& name : QString::fromLatin1(qtFlags).split(QLatin1Char(' '))) {
        parser.addOption(QCommandLineOption(name));
    }

    CommandLine result;
    const auto fail = [&result](const QString& message) {
        result.action = Action::error;
        result.error = message;
        return result;
    };
    if (!parser.parse(arguments)) {
        if (!parser.unknownOptionNames().isEmpty()) {
            return fail(QStringLiteral("不明なオプションです: %1")
                            .arg(asTyped(arguments, parser.unknownOptionNames().constFirst())));
        }
        // The one other way parsing fails: an option that takes a value came last.
        return fail(QStringLiteral("オプション %1 には値が必要です").arg(arguments.constLast()));
    }
    if (!parser.positionalArguments().isEmpty()) {
        return fail(
            QStringLiteral("余分な引数です: %1").arg(parser.positionalArguments().constFirst()));
    }
    if (parser.isSet(help)) {
        result.action = Action::help;
    } else if (parser.isSet(version)) {
        result.action = Action::version;
    }
    if (parser.isSet(machine)) {
        result.machine = parser.value(machine);
        if (result.machine->isEmpty()) {
            return fail(QStringLiteral("--machine にはマシンの名前が必要です"));
        }
    }
    if (parser.isSet(QStringLiteral("display"))) {
        result.display = parser.value(QStringLiteral("display"));
    }
    if (parser.isSet(QStringLiteral("platform"))) {
        result.platform = parser.value(QStringLiteral("platform"));
    }
    return result;
}

CommandLine CommandLine::parse(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return parse(arguments);
}

std::optional<int> CommandLine::answer() const {
    switch (action) {
    case Action::run:
        return std::nullopt;
    case Action::help:
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case Action::version:
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case Action::error:
        std::fprintf(stderr, "trovimo: %s\n詳しくは trovimo --help を参照してください。\n",
                     error.toLocal8Bit().constData());
        return 2;
    }
    return std::nullopt;
}

void CommandLine::exportDisplayOptions() const {
    if (display) {
        ::setenv("DISPLAY", display->toLocal8Bit().constData(), 1);
    }
    if (platform) {
        ::setenv("QT_QPA_PLATFORM", platform->toLocal8Bit().constData(), 1);
    }
}

QString CommandLine::displayName() const {
    if (display) {
        return *display;
    }
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') {
            return QString::fromLocal8Bit(value);
        }
    }
    return {};
}

QString CommandLine::helpText() {
    return QStringLiteral(
        "使い方: trovimo [オプション]\n"
        "\n"
        "CPU、GPU、メモリ、ネットワーク、ディスクの状態を小さなパネルでデスクトップに表示します。\n"
        "同じディスプレイでパネルがすでに動いているときは、そのパネルを前面に表示して終了します。\n"
        "\n"
        "オプション:\n"
        "  -h, --help       この説明を表示して終了します\n"
        "  -v, --version    バージョンを表示して終了します\n"
        "      --machine=名前\n"
        "                   設定の「他のマシン」にあるそのマシンを、このマシンのパネルの横に\n"
        "                   もう一つのパネルで表示します（マシンとディスプレイごとに一つ）\n"
        "\n"
        "Qt の標準のオプション（-platform、-display など）も使えます。\n"
        "ログの絞り込みと終了コードは trovimo(1) を参照してください。\n");
}

QString CommandLine::versionText() {
    return QStringLiteral("trovimo %1\n").arg(QString::fromUtf8(build::version));
}

} // namespace trovimo
