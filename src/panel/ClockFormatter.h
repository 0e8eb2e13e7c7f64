#pragma once

#include <QString>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <chrono>
#include <memory>

namespace trovimo {

// The clock's texts in one locale and time zone. Building the ICU patterns costs far more
// than formatting with them, so one formatter is built once and reused every minute.
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
    std::unique_ptr<icu::DateFormat> date_;
    std::unique_ptr<icu::DateFormat> dateWithYear_;
    std::unique_ptr<icu::DateFormat> time_;
};

} // namespace trovimo
