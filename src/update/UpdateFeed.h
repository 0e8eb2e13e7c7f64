#pragma once

#include "update/UpdateInfo.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace trovimo {

// The version feed's body: one JSON object with "latestVersion" (string), "url" (string
// holding an http or https URL) and optionally "minimumVersion" (string or null). Types are
// checked, keys match exactly, other members are ignored; the latest version, which the panel
// shows, comes without control or bidirectional formatting characters. On failure `error` (when
// given) receives a one-line description for the log.
[[nodiscard]] std::optional<UpdateInfo> decodeUpdateInfo(QByteArrayView body,
                                                         QString* error = nullptr);

} // namespace trovimo
