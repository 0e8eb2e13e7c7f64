#include "remote/NodeExporterFetch.h"

#include "remote/Credential.h"
#include "remote/NodeBlocks.h"

namespace trovimo {
namespace {

// A body this large once (a mistaken URL) is not kept as room for the next ones.
constexpr std::size_t keptRoom = 1024 * 1024;

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string withParameters(const std::string& target, const std::string& parameters) {
    if (target.find('?') == std::string::npos) {
        return target + "?" + parameters;
    }
    return target + (target.ends_with('?') || target.ends_with('&') ? "" : "&") + parameters;
}

} // namespace

void NodeExporterFetch::fetch(const Request& request) {
    const Outcome outcome = get(request);
    std::string& body = response_.body();
    if (body.capacity() > keptRoom) {
        body.clear();
        body.shrink_to_fit();
    }
    emit fetched(outcome);
}

NodeExporterFetch::Outcome NodeExporterFetch::get(const Request& request) {
    Outcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + request.timeout;
    const std::optional<HttpTarget> origin = httpTargetOf(request.url);
    if (!origin) {
        outcome.problem = "the URL is not an http or https URL";
        return outcome;
    }
    std::string authorization;
    if (!request.credentialFile.empty()) {
        const auto value = readCredential(request.credentialFile, outcome.problem);
        if (!value) {
            return outcome;
        }
        authorization = *value;
    }
    const std::string parameters = withCollectors({}, nodeCollectors(request.shown));
    for (;;) {
        HttpTarget target = *origin;
        if (!unfiltered_) {
            target.target = withParameters(target.target, parameters);
        }
        int status = 0;
        for (int hop = 0;; ++hop) {
            // The credential goes to the machine's own scheme, host and port alone.
            const std::string_view credential =
                target.sameOrigin(*origin) ? std::string_view(authorization) : "";
            const bool got =
                connection_.get(target, credential, deadline, response_, outcome.problem);
            outcome.reached = outcome.reached || connection_.reachedServer();
            if (!got) {
                return outcome;
            }
            status = response_.status();
            if (!isRedirect(status) || hop == mostRedirects) {
                break;
            }
            const auto next = redirectTarget(target, response_.location());
            if (!next || next->tls != target.tls) {
                outcome.problem = "a redirect to another scheme was refused";
                return outcome;
            }
            target = *next;
        }
        if (status == 400 && !unfiltered_) {
            unfiltered_ = outcome.filterRefused = true; // a collector switched off there
            continue;
        }
        if (status != 200) {
            outcome.problem = "HTTP status " + std::to_string(status);
            return outcome;
        }
        Figures figures = reader_.read(response_.body(), BoottimeClock::now(), request.shown);
        if (reader_.samplesRead() == 0) {
            outcome.problem = "the answer holds no metrics";
        } else {
            outcome.figures = std::move(figures);
        }
        return outcome;
    }
}

} // namespace trovimo
