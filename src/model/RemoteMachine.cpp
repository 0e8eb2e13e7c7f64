#include "model/RemoteMachine.h"

#include "core/DisplayableText.h"
#include "core/SystemLog.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"

#include <QUrl>
#include <QVariantMap>

namespace trovimo {
namespace {

constexpr qsizetype longestName = 64;
constexpr qsizetype longestUrl = 2048;
constexpr qsizetype longestPath = 4096;

QString entryKey(int index, const char* field) {
    return QStringLiteral("%1/%2/%3")
        .arg(QLatin1String(keys::remoteMachines))
        .arg(index)
        .arg(QLatin1String(field));
}

} // namespace

std::optional<QString> remoteMachineProblem(const RemoteMachine& machine) {
    const QString name = machine.name.trimmed();
    if (name.isEmpty()) {
        return QStringLiteral("名前がありません");
    }
    if (name.size() > longestName || name != machine.name ||
        displayableText(machine.name) != machine.name) {
        return QStringLiteral("名前が長すぎるか、名前に使えない文字があります");
    }
    if (name == QString::fromUtf8(localMachineName)) {
        return QStringLiteral("「%1」は名前に使えません").arg(QString::fromUtf8(localMachineName));
    }
    const QUrl url(machine.url, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (machine.url.size() > longestUrl || !url.isValid() || url.isRelative() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return QStringLiteral("http か https の URL だけが使えます");
    }
    if (!url.userInfo().isEmpty() || machine.url.contains(QLatin1Char('@'))) {
        return QStringLiteral(
            "URL に利用者名やパスワードは書けません（認証情報ファイルを使ってください）");
    }
    if (url.host().isEmpty() || url.hasFragment() || url.port() == 0) {
        return QStringLiteral("URL にホスト名がないか、使えない部分があります");
    }
    const QString& file = machine.credentialFile;
    if (!file.isEmpty() && (!file.startsWith(QLatin1Char('/')) || file.size() > longestPath ||
                            displayableText(file) != file)) {
        return QStringLiteral("認証情報ファイルは絶対パスで指定してください");
    }
    return std::nullopt;
}

QList<RemoteMachine> readRemoteMachines(const SettingsStore& settings) {
    QList<RemoteMachine> machines;
    const QString sizeKey = QLatin1String(keys::remoteMachines) + QStringLiteral("/size");
    const int count =
        std::clamp(static_cast<int>(settings.doubleValue(sizeKey)), 0, maximumRemoteMachines);
    const auto text = [&](int index, const char* field) {
        return settings.storedValue(entryKey(index, field)).toString();
    };
    for (int index = 1; index <= count; ++index) {
        RemoteMachine machine{text(index, "name"), text(index, "url"),
                              text(index, "credentialFile")};
        if (machine.name.isEmpty() && machine.url.isEmpty()) {
            continue; // a size beyond the entries (a hand edit): nothing there to tell about
        }
        std::optional<QString> problem = remoteMachineProblem(machine);
        const bool taken =
            std::any_of(machines.begin(), machines.end(),
                        [&](const RemoteMachine& listed) { return listed.name == machine.name; });
        if (!problem && taken) {
            problem = QStringLiteral("同じ名前のマシンが前にあります");
        }
        if (problem) {
            systemLog(logApp(),
                      QStringLiteral("SettingsStore: 他のマシンの %1 番目を読み込みません: %2")
                          .arg(index)
                          .arg(*problem));
            continue;
        }
        machines.append(machine);
    }
    return machines;
}

bool writeRemoteMachines(SettingsStore& settings, const QList<RemoteMachine>& machines) {
    if (machines.size() > maximumRemoteMachines) {
        return false;
    }
    QVariantMap values;
    for (int index = 0; index < machines.size(); ++index) {
        const RemoteMachine& machine = machines[index];
        const bool taken =
            std::any_of(machines.begin(), machines.begin() + index,
                        [&](const RemoteMachine& listed) { return listed.name == machine.name; });
        if (remoteMachineProblem(machine) || taken) {
            return false;
        }
        values.insert(QStringLiteral("%1/name").arg(index + 1), machine.name);
        values.insert(QStringLiteral("%1/url").arg(index + 1), machine.url);
        if (!machine.credentialFile.isEmpty()) {
            values.insert(QStringLiteral("%1/credentialFile").arg(index + 1),
                          machine.credentialFile);
        }
    }
    values.insert(QStringLiteral("size"), machines.size());
    settings.replaceGroup(QLatin1String(keys::remoteMachines), values);
    return true;
}

} // namespace trovimo
