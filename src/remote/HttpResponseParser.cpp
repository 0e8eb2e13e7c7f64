#include "remote/HttpResponseParser.h"

#include <algorithm>
#include <charconv>

namespace trovimo {
namespace {

constexpr std::size_t longestLine = 1024; // a chunk-size or trailer line
constexpr std::size_t longestLocation = 8192;
constexpr int longestTrailer = 64; // lines

char lower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trimmed(std::string_view text) noexcept {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Whether the comma-separated `list` holds `token` (case-insensitive); `last` asks for it as
// the final element.
bool listHas(std::string_view list, std::string_view token, bool last = false) noexcept {
    bool found = false;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view element = trimmed(list.substr(0, comma));
        found = sameIgnoringCase(element, token) || (!last && found);
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
    }
    return found;
}

bool isTokenChar(char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

} // namespace

void HttpResponseParser::reset() {
    state_ = State::head;
    failure_ = Failure::none;
    head_.clear();
    body_.clear();
    line_.clear();
    status_ = 0;
    keepAlive_ = false;
    location_.clear();
    framing_ = Framing::close;
    remaining_ = 0;
    chunkStep_ = ChunkStep::size;
    trailerLines_ = 0;
}

HttpResponseParser::State HttpResponseParser::fail(Failure failure) {
    state_ = State::failed;
    failure_ = failure;
    keepAlive_ = false;
    return state_;
}

HttpResponseParser::State HttpResponseParser::feed(std::string_view bytes) {
    while (!bytes.empty() && (state_ == State::head || state_ == State::body)) {
        if (state_ == State::body) {
            bytes.remove_prefix(takeBody(bytes));
            continue;
        }
        const std::size_t before = head_.size();
        head_.append(bytes.substr(0, maximumHead + 4 - before));
        const std::size_t end = head_.find("\r\n\r\n", before >= 3 ? before - 3 : 0);
        if (end == std::string::npos) {
            if (head_.size() >= maximumHead) {
                return fail(Failure::malformed);
            }
            bytes = {};
            continue;
        }
        bytes.remove_prefix(end + 4 - before);
        if (!parseHead(std::string_view(head_).substr(0, end))) {
            return fail(Failure::malformed);
        }
        head_.clear();
        if (framing_ == Framing::length && remaining_ > maximumBody_) {
            return fail(Failure::tooLarge); // refused before a byte of it is read
        }
        if (status_ >= 100 && status_ < 200) {
            continue; // an interim response ("100 Continue"); the real one follows
        }
        const bool empty =
            status_ == 204 || status_ == 304 || (framing_ == Framing::length && remaining_ == 0);
        state_ = empty ? State::done : State::body;
    }
    return state_;
}

HttpResponseParser::State HttpResponseParser::finishAtClose() {
    if (state_ == State::body && framing_ == Framing::close) {
        state_ = State::done;
    } else if (state_ == State::head || state_ == State::body) {
        fail(Failure::truncated);
    }
    return state_;
}

bool HttpResponseParser::parseHead(std::string_view head) {
    const std::size_t firstEnd = head.find("\r\n");
    const std::string_view statusLine = head.substr(0, firstEnd);
    head.remove_prefix(firstEnd == std::string_view::npos ? head.size() : firstEnd + 2);
    // "HTTP/1.1 200 OK"
    if (statusLine.size() < 12 || !statusLine.starts_with("HTTP/1.") || statusLine[8] != ' ' ||
        (statusLine[7] != '0' && statusLine[7] != '1') ||
        (statusLine.size() > 12 && statusLine[12] != ' ')) {
        return false;
    }
    const auto [end, error] =
        std::from_chars(statusLine.data() + 9, statusLine.data() + 12, status_);
    if (error != std::errc() || end != statusLine.data() + 12 || status_ < 100 || status_ > 599) {
        return false;
    }
    keepAlive_ = statusLine[7] == '1';
    location_.clear();
    std::optional<std::uint64_t> length;
    bool chunked = false;
    while (!head.empty()) {
        const std::size_t lineEnd = head.find("\r\n");
        const std::string_view line = head.substr(0, lineEnd);
        head.remove_prefix(lineEnd == std::string_view::npos ? head.size() : lineEnd + 2);
        const std::size_t colon = line.find(':');
        const std::string_view name = line.substr(0, colon);
        if (colon == std::string_view::npos || name.empty() ||
            !std::all_of(name.begin(), name.end(), isTokenChar)) {
            return false; // also an obsolete folded line, which starts with a blank
        }
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (sameIgnoringCase(name, "content-length")) {
            std::uint64_t parsed = 0;
            const auto [valueEnd, valueError] =
                std::from_chars(value.data(), value.data() + value.size(), parsed);
            if (value.empty() || valueError != std::errc() ||
                valueEnd != value.data() + value.size() || (length && *length != parsed)) {
                return false; // two different lengths: which one frames the body?
            }
            length = parsed;
        } else if (sameIgnoringCase(name, "transfer-encoding")) {
            // Anything but plain chunks (gzip, which we never ask for) is not read.
            if (!sameIgnoringCase(value, "chunked")) {
                return false;
            }
            chunked = true;
        } else if (sameIgnoringCase(name, "connection")) {
            if (listHas(value, "close")) {
                keepAlive_ = false;
            } else if (listHas(value, "keep-alive")) {
                keepAlive_ = true;
            }
        } else if (sameIgnoringCase(name, "location")) {
            if (value.size() > longestLocation) {
                return false;
            }
            location_.assign(value);
        }
    }
    remaining_ = 0;
    chunkStep_ = ChunkStep::size;
    line_.clear();
    if (chunked) {
        framing_ = Framing::chunked;
    } else if (length) {
        framing_ = Framing::length;
        remaining_ = *length;
    } else {
        framing_ = Framing::close;
        // Without a length a body runs to the end of the connection, where there is one.
        const bool bodiless = status_ < 200 || status_ == 204 || status_ == 304;
        keepAlive_ = keepAlive_ && bodiless;
    }
    return true;
}

bool HttpResponseParser::appendBody(std::string_view bytes) {
    if (bytes.size() > maximumBody_ - body_.size()) {
        fail(Failure::tooLarge);
        return false;
    }
    body_.append(bytes);
    return true;
}

std::size_t HttpResponseParser::takeBody(std::string_view bytes) {
    switch (framing_) {
    case Framing::close:
        return appendBody(bytes) ? bytes.size() : 0;
    case Framing::length: {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, bytes.size()));
        if (!appendBody(bytes.substr(0, count))) {
            return 0;
        }
        remaining_ -= count;
        if (remaining_ == 0) {
            state_ = State::done;
        }
        return count;
    }
    case Framing::chunked:
        return takeChunked(bytes);
    }
    return 0;
}

std::size_t HttpResponseParser::takeChunked(std::string_view bytes) {
    std::size_t taken = 0;
    // A line (chunk size, chunk end, trailer) gathered across feeds; true once complete.
    const auto gatherLine = [&]() {
        while (taken < bytes.size()) {
            const char c = bytes[taken++];
            line_.push_back(c);
            if (c == '\n') {
                return true;
            }
            if (line_.size() > longestLine) {
                fail(Failure::malformed);
                return false;
            }
        }
        return false;
    };
    while (taken < bytes.size() && state_ == State::body) {
        if (chunkStep_ == ChunkStep::data) {
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, bytes.size() - taken));
            if (!appendBody(bytes.substr(taken, count))) {
                return taken;
            }
            taken += count;
            remaining_ -= count;
            if (remaining_ == 0) {
                chunkStep_ = ChunkStep::dataEnd;
            }
            continue;
        }
        if (!gatherLine()) {
            continue;
        }
        std::string_view line(line_);
        line.remove_suffix(line.ends_with("\r\n") ? 2 : 1);
        if (chunkStep_ == ChunkStep::dataEnd) {
            if (!line.empty()) {
                fail(Failure::malformed);
                return taken;
            }
            chunkStep_ = ChunkStep::size;
        } else if (chunkStep_ == ChunkStep::size) {
            // "1a3f" or "1a3f;name=value"
            const std::string_view digits = trimmed(line.substr(0, line.find(';')));
            std::uint64_t size = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), size, 16);
            if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
                fail(Failure::malformed);
                return taken;
            }
            if (size > maximumBody_ - body_.size()) {
                fail(Failure::tooLarge);
                return taken;
            }
            remaining_ = size;
            chunkStep_ = size == 0 ? ChunkStep::trailer : ChunkStep::data;
            trailerLines_ = 0;
        } else if (line.empty()) {
            state_ = State::done; // the blank line after the last chunk's trailers
        } else if (++trailerLines_ > longestTrailer) {
            fail(Failure::malformed);
            return taken;
        }
        line_.clear();
    }
    return taken;
}

} // namespace trovimo
