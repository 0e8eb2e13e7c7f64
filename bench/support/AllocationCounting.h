#pragma once

// Counts heap allocations so a benchmark can show that a step allocates nothing in steady
// state. Replaces the global operator new: include it in exactly one file per benchmark
// program.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace trovimo::bench {
inline std::atomic<std::uint64_t> allocations{0};
}

void* operator new(std::size_t size) {
    trovimo::bench::allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace trovimo::bench {

// Runs `body` once per iteration after two warm-up calls and reports the heap allocations
// per iteration as the counter "allocs".
template <typename Body> void measure(benchmark::State& state, Body body) {
    body();
    body();
    const std::uint64_t before = allocations.load();
    for (auto _ : state) {
        body();
    }
    const std::uint64_t after = allocations.load();
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(after - before) /
                                                  static_cast<double>(state.iterations()));
}

} // namespace trovimo::bench
