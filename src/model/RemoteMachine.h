#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace trovimo {

class SettingsStore;

// Another machine whose node exporter a panel can show: a name of the user's choosing, the
// metrics URL, and where a credential is needed, the file that holds it. The settings hold
// no secret: a URL with a user name or password in it is refused, and the credential file
// (checked when it is read) stays where the user keeps it.
struct RemoteMachine {
    QString name;           // "NAS"
    QString url;            // "http://nas.local:9100/metrics"
    QString credentialFile; // absolute path, or empty

    friend bool operator==(const RemoteMachine&, const RemoteMachine&) = default;
};

// The menu's entry for the local machine, which no other machine may be called.
inline constexpr const char* localMachineName = "このマシン";
// More machines than fit a menu are not listed.
inline constexpr int maximumRemoteMachines = 32;

// Why `machine` cannot be listed, in words for the settings window and the log; none when it
// can. Only http and https URLs with a host and without a user name, password or fragment.
[[nodiscard]] std::optional<QString> remoteMachineProblem(const RemoteMachine& machine);

// The machines in the settings, in their order. An entry that does not pass the checks, or
// takes a name an entry before it has, is left out with a line in the log.
[[nodiscard]] QList<RemoteMachine> readRemoteMachines(const SettingsStore& settings);
// Replaces the list in one write. Refused (false, the settings unchanged) when an entry does
// not pass the checks, two share a name or there are more than maximumRemoteMachines.
bool writeRemoteMachines(SettingsStore& settings, const QList<RemoteMachine>& machines);

} // namespace trovimo
