#pragma once

#include <QtGlobal>

#include <chrono>

namespace trovimo::feed {

// The feed is a few hundred bytes; anything past this is not a feed.
inline constexpr qint64 maximumBodySize = 64 * 1024;
// The transfer time-out only measures pauses; a server that trickles a byte now and then
// would hold the poll forever without an overall limit of this many transfer time-outs.
inline constexpr int deadlineFactor = 4;
inline constexpr std::chrono::milliseconds defaultTransferTimeout{15000};

// The program that fetches the feed, apart from the panel: the network stack (TLS, proxy
// look-up, name resolution threads) then never lives in the long-running process.
inline constexpr const char* fetchHelperName = "trovimo-feed-fetch";
// Exit statuses of the helper: the body is on standard output (ok) or one line saying what
// went wrong (failed).
inline constexpr int fetchOk = 0;
inline constexpr int fetchFailed = 1;
inline constexpr int fetchUsage = 2;

} // namespace trovimo::feed
