#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trovimo {

// The Authorization header value for the secret in a credential file: "user:password" goes as
// HTTP basic authentication, anything else as a bearer token (which never holds a colon).
// Absent when the secret is empty or holds what cannot go in a header or a token.
[[nodiscard]] std::optional<std::string> authorizationFor(std::string_view secret);

// The Authorization header value from the credential file at `path`. Absent, with the reason
// in `problem`, unless the file is a regular file (not a link) owned by this user and readable
// by nobody else (mode 0600 or 0400), of at most 4 KiB, holding one secret on one line.
[[nodiscard]] std::optional<std::string> readCredential(const std::string& path,
                                                        std::string& problem);

} // namespace trovimo
