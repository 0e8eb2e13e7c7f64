#pragma once

#include <unicode/locid.h>

#include <cstdint>
#include <string>

namespace trovimo {

// The locale whose number conventions the panel follows: the application's default locale,
// which is the user's system locale (LC_ALL, LC_NUMERIC, LANG) unless the program sets
// another; checked on each call so a locale change applies at the next paint. The reference
// stays valid until the next call on the same thread.
[[nodiscard]] const icu::Locale& userNumberLocale();

// A percent text in `locale`'s own form ("45%", "45 %", "%45"): `key` is the percent in
// units of its last shown digit, as percentKey() computes it, shown with exactly
// `fractionDigits` decimals. UTF-8.
[[nodiscard]] std::string formatPercentKey(std::int64_t key, int fractionDigits,
                                           const icu::Locale& locale);

// The fraction (0.452) as a percent text rounded halves away from zero ("45%"), in the
// user's locale.
[[nodiscard]] std::string percentText(double fraction, int fractionDigits);
[[nodiscard]] std::string percentText(double fraction, int fractionDigits,
                                      const icu::Locale& locale);

} // namespace trovimo
