#pragma once

#include <QString>

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>

namespace trovimo {

// The clock's texts in one locale and time zone. Building the ICU patterns costs far more
// than formatting with them, so one formatter is built once and reused every minute; and
// since the texts only change with the minute, each is formatted once a minute (ICU copies
// its calendar for every format call) and asked-for again from a cache.
class ClockFormatter {
public:
    // `zone` null: the process's default time zone.
    explicit ClockFormatter(const icu::Locale& locale = icu::Locale::getDefault(),
                            const icu::TimeZone* zone = nullptr);
    ~ClockFormatter();
    ClockFormatter(const ClockFormatter&) = delete;
    ClockFormatter& operator=(const ClockFormatter&) = delete;

    // For the user's locale, built on first use.
    [[nodiscard]] static const ClockFormatter& shared();

    // Abbreviated month, day and abbreviated weekday (and the year on request) in the
    // locale's own order and punctuation.
    [[nodiscard]] QString dateText(std::chrono::system_clock::time_point when, bool withYear) const;
    // Hour and minute in the locale's hour cycle, with its AM/PM marker where it uses one.
    [[nodiscard]] QString timeText(std::chrono::system_clock::time_point when) const;
    // 0 to 59.
    [[nodiscard]] int secondOfMinute(std::chrono::system_clock::time_point when) const;

private:
    // One formatted text and the minute (since the epoch, UTC) it holds. Every time zone
    // in use today is offset by whole minutes, so a UTC minute is a local minute too.
    struct MinuteText {
        std::int64_t minute = std::numeric_limits<std::int64_t>::min();
        QString text;
    };
    QString cached(MinuteText& cache, const icu::UnicodeString& pattern,
                   std::chrono::system_clock::time_point when) const;

    icu::UnicodeString datePattern_;
    icu::UnicodeString dateWithYearPattern_;
    icu::UnicodeString timePattern_;
    // Null when ICU could not build one: the texts are then empty.
    std::unique_ptr<icu::SimpleDateFormat> format_;
    mutable MinuteText dateText_;
    mutable MinuteText dateWithYearText_;
    mutable MinuteText timeText_;
};

} // namespace trovimo
