// The system readers against the floor: the bare open/read/close of the same files and the
// same other system calls, with no parsing. A counting operator new shows what a read
// allocates once its buffers have grown (the CPU sample's perCore list is the one allocation
// that is the result itself).
#include "readers/CPUStatsReader.h"
#include "readers/DiskStatsReader.h"
#include "readers/MemoryStatsReader.h"
#include "readers/SelfStatsReader.h"
#include "support/AllocationCounting.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace trovimo;

using trovimo::bench::measure;

void BM_CPUStatsReader(benchmark::State& state) {
    CPUStatsReader reader;
    measure(state, [&] { benchmark::DoNotOptimize(reader.read()); });
}
BENCHMARK(BM_CPUStatsReader);

void BM_MemoryStatsReader(benchmark::State& state) {
    MemoryStatsReader reader;
    measure(state, [&] { benchmark::DoNotOptimize(reader.read()); });
}
BENCHMARK(BM_MemoryStatsReader);

void BM_DiskStatsReader(benchmark::State& state) {
    DiskStatsReader reader;
    measure(state, [&] { benchmark::DoNotOptimize(reader.read()); });
}
BENCHMARK(BM_DiskStatsReader);

void BM_SelfStatsReader(benchmark::State& state) {
    SelfStatsReader reader;
    measure(state, [&] { benchmark::DoNotOptimize(reader.read()); });
}
BENCHMARK(BM_SelfStatsReader);

// The four readers in the order of a tick.
void BM_Tick(benchmark::State& state) {
    CPUStatsReader cpu;
    MemoryStatsReader memory;
    DiskStatsReader disk;
    SelfStatsReader self;
    measure(state, [&] {
        benchmark::DoNotOptimize(cpu.read());
        benchmark::DoNotOptimize(memory.read());
        benchmark::DoNotOptimize(disk.read());
        benchmark::DoNotOptimize(self.read());
    });
}
BENCHMARK(BM_Tick);

// What the tick cannot avoid: the same files opened, read to the end and closed, the block
// directory listed, statvfs and the two clocks. No parsing.
std::array<char, 1 << 16> floorBuffer;
std::array<char, 4096> floorDirectory;

void slurp(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    while (::read(fd, floorBuffer.data(), floorBuffer.size()) > 0) {
    }
    ::close(fd);
}

void listZram() {
    const int fd = ::open("/sys/block", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    char path[96];
    for (long got;
         (got = ::syscall(SYS_getdents64, fd, floorDirectory.data(), floorDirectory.size())) > 0;) {
        for (long offset = 0; offset < got;) {
            unsigned short length = 0;
            std::memcpy(&length, floorDirectory.data() + offset + 16, sizeof length);
            const char* name = floorDirectory.data() + offset + 19;
            if (std::strncmp(name, "zram", 4) == 0) {
                std::snprintf(path, sizeof path, "/sys/block/%s/mm_stat", name);
                slurp(path);
            }
            offset += length;
        }
    }
    ::close(fd);
}

void BM_Floor(benchmark::State& state) {
    const std::string home = DiskStatsReader::homeDirectory();
    measure(state, [&] {
        slurp("/proc/stat");
        slurp("/proc/meminfo");
        listZram();
        slurp("/proc/spl/kstat/zfs/arcstats");
        slurp("/proc/pressure/memory");
        struct statvfs volume {};
        benchmark::DoNotOptimize(::statvfs(home.c_str(), &volume));
        timespec now{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        slurp("/proc/self/status");
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        benchmark::DoNotOptimize(now);
    });
}
BENCHMARK(BM_Floor);

// The floor of each reader on its own.
void BM_FloorCPU(benchmark::State& state) {
    measure(state, [] { slurp("/proc/stat"); });
}
BENCHMARK(BM_FloorCPU);

void BM_FloorMemory(benchmark::State& state) {
    measure(state, [] {
        slurp("/proc/meminfo");
        listZram();
        slurp("/proc/spl/kstat/zfs/arcstats");
        slurp("/proc/pressure/memory");
    });
}
BENCHMARK(BM_FloorMemory);

void BM_FloorDisk(benchmark::State& state) {
    const std::string home = DiskStatsReader::homeDirectory();
    measure(state, [&] {
        struct statvfs volume {};
        benchmark::DoNotOptimize(::statvfs(home.c_str(), &volume));
    });
}
BENCHMARK(BM_FloorDisk);

void BM_FloorSelf(benchmark::State& state) {
    measure(state, [] {
        timespec now{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        slurp("/proc/self/status");
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        benchmark::DoNotOptimize(now);
    });
}
BENCHMARK(BM_FloorSelf);

// Parsing alone, on the captured files: what the readers add to the floor.
std::string fixture(const char* relative) {
    WholeFileReader file;
    const auto text = file.read(std::string(TROVIMO_FIXTURES_DIR) + "/" + relative);
    return text ? std::string(*text) : std::string();
}

void BM_ParseProcStat(benchmark::State& state) {
    const std::string text = fixture("cpu/vm-2cores/proc/stat");
    std::vector<NumberedCPUTicks> cores;
    measure(state, [&] { benchmark::DoNotOptimize(parseProcStatInto(text, cores)); });
}
BENCHMARK(BM_ParseProcStat);

void BM_ParseMeminfo(benchmark::State& state) {
    const std::string text = fixture("memory/vm-zram-idle/proc/meminfo");
    measure(state, [&] { benchmark::DoNotOptimize(parseMeminfo(text)); });
}
BENCHMARK(BM_ParseMeminfo);

void BM_ParseSelfFootprint(benchmark::State& state) {
    const std::string text = fixture("self/vm/proc/self/status");
    measure(state, [&] { benchmark::DoNotOptimize(parseSelfFootprint(text)); });
}
BENCHMARK(BM_ParseSelfFootprint);

} // namespace

BENCHMARK_MAIN();
