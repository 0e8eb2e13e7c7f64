#pragma once

#include "model/Blocks.h"
#include "model/StatsSnapshot.h"
#include "remote/HttpConnection.h"
#include "remote/HttpResponseParser.h"
#include "remote/NodeExporterReader.h"

#include <QMetaType>
#include <QObject>

#include <chrono>
#include <optional>
#include <string>

namespace trovimo {

// The worker side of NodeExporterPoller, living on a thread of its own: one GET of the
// exporter's body per `fetch`, read into the figures there; only the figures (or why there are
// none) go back, by the queued signal. It keeps the connection, the body's room and the
// counters for the next rates between fetches.
class NodeExporterFetch final : public QObject {
    Q_OBJECT
public:
    // A body longer than this is cut and refused.
    static constexpr std::size_t maximumBody = 4 * 1024 * 1024;
    static constexpr int mostRedirects = 5;

    struct Request {
        std::string url;
        std::string credentialFile; // empty: none
        BlockSet shown;
        std::chrono::nanoseconds timeout{0};
    };
    struct Outcome {
        std::optional<Figures> figures;
        std::string problem; // one line for the log when there are no figures
        // A connection was made: the machine answers, whatever its exporter said.
        bool reached = false;
        bool filterRefused = false; // the exporter answered 400 to collect[]: asked for all
    };

    using QObject::QObject;

    // On this object's thread; ends with `fetched`.
    void fetch(const Request& request);

signals:
    void fetched(const trovimo::NodeExporterFetch::Outcome& outcome);

private:
    [[nodiscard]] Outcome get(const Request& request);

    HttpConnection connection_;
    HttpResponseParser response_{maximumBody};
    NodeExporterReader reader_;
    bool unfiltered_ = false;
};

} // namespace trovimo

Q_DECLARE_METATYPE(trovimo::NodeExporterFetch::Outcome)
