#pragma once

// The readers' one set of rules for counter arithmetic. Kernel counters are kept 64 bits wide
// (the kernel's own are, and /proc prints them whole): they do not wrap in any machine's
// lifetime, so a counter that reads lower than before was reset (an interface recreated, a
// sum that lost a member, iowait, which proc(5) says may go back) and moved by nothing.
//
//   counterDelta(previous, current)     how far a counter moved; 0 when it went back
//   saturatingSub(a, b)                 a - b, not below 0
//   saturatingAdd(a, b)                 a + b, not past the type's largest value
//   checkedProduct<T>(a, b)             a × b as a T; absent when it does not fit
//   counterRate(previous, current, s)   how far a counter moved per second; 0 when s <= 0
//   wrapping32Delta(previous, current)  the one exception: a 32-bit hardware counter that
//                                       wraps (Intel's GPU idle residency)
//
// Parsing the text the counters come in: readers/KernelText.h.

#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>

namespace trovimo {

template <std::unsigned_integral Number>
[[nodiscard]] constexpr Number saturatingSub(Number a, Number b) noexcept {
    return a > b ? a - b : 0;
}

[[nodiscard]] constexpr std::uint64_t counterDelta(std::uint64_t previous,
                                                   std::uint64_t current) noexcept {
    return saturatingSub(current, previous);
}

template <std::integral Number>
[[nodiscard]] constexpr Number saturatingAdd(Number a, Number b) noexcept {
    Number sum{};
    if (!__builtin_add_overflow(a, b, &sum)) {
        return sum;
    }
    return b < 0 ? std::numeric_limits<Number>::min() : std::numeric_limits<Number>::max();
}

// The exact product in `Result`, whatever the factors' types: checkedProduct<std::int64_t>(
// blocks, blockSize) is absent when the bytes do not fit 63 bits.
template <std::integral Result, std::integral A, std::integral B>
[[nodiscard]] constexpr std::optional<Result> checkedProduct(A a, B b) noexcept {
    Result product{};
    if (__builtin_mul_overflow(a, b, &product)) {
        return std::nullopt;
    }
    return product;
}

// The counter's movement per second over `seconds`, times `unit` (512 for sectors): 0 when no
// time passed or the counter went back.
[[nodiscard]] constexpr double counterRate(std::uint64_t previous, std::uint64_t current,
                                           double seconds, double unit = 1.0) noexcept {
    if (!(seconds > 0.0)) {
        return 0.0;
    }
    return static_cast<double>(counterDelta(previous, current)) * unit / seconds;
}

// i915's rc6_residency_ms comes from a 32-bit register and wraps after about 49 days: a later
// value below an earlier one, both within 32 bits, is one wrap. Absent when a wider counter
// went back (a reset).
[[nodiscard]] constexpr std::optional<std::uint64_t>
wrapping32Delta(std::uint64_t previous, std::uint64_t current) noexcept {
    constexpr std::uint64_t wrap = std::uint64_t{1} << 32;
    if (current >= previous) {
        return current - previous;
    }
    if (previous < wrap && current < wrap) {
        return current + wrap - previous;
    }
    return std::nullopt;
}

} // namespace trovimo
