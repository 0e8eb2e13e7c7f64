#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trovimo {

// The Authorization header value for the secret in a credential file: "user:password" goes as
// HTTP basic authentication, anything else as a bearer token (which never holds a colon).
// Absent when the secret is empty or holds what cannot go in a header or a token.
[[nodiscard]] std::optional<std::string> authorizationFor(std::string_view secret);

// Why a credential file was refused, for the settings window to say in its own words.
enum class CredentialFault : std::uint8_t {
    unreadable,     // missing, a link, no permission
    notRegularFile, // a directory, a FIFO, a device
    notPrivate,     // another owner, or readable by others
    notOneSecret,   // empty, several lines, too long, odd characters
};

// The Authorization header value from the credential file at `path`. Absent, with the reason
// in `problem` (and `fault`, where given), unless the file is a regular file (not a link)
// owned by this user and readable by nobody else (mode 0600 or 0400), of at most 4 KiB,
// holding one secret on one line.
[[nodiscard]] std::optional<std::string>
readCredential(const std::string& path, std::string& problem, CredentialFault* fault = nullptr);

} // namespace trovimo
