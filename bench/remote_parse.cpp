// Reading another machine's node exporter body into the blocks' figures, per tick: the body
// of a 2-core VM and of a 64-core server, each with the collectors the default blocks ask for
// (time, stat, cpu, meminfo, pressure, netdev, netclass, filesystem), written the way node
// exporter 1.5 writes them (HELP and TYPE lines, families in name order, cores as text order).
// The body is read in place; the counter "allocs" shows what a tick allocates once the
// reader's lists have their room.
#include "remote/Exposition.h"
#include "remote/NodeExporterReader.h"
#include "support/AllocationCounting.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace trovimo;
using trovimo::bench::measure;

void family(std::string& body, const char* name, const char* type) {
    body += std::string("# HELP ") + name + " The " + name + " figure.\n# TYPE " + name + " " +
            type + "\n";
}

void line(std::string& body, const std::string& name, const std::string& labels, double value) {
    char number[48];
    std::snprintf(number, sizeof number, "%.17g", value);
    body += name + (labels.empty() ? "" : "{" + labels + "}") + " " + number + "\n";
}

// A machine with `cores` cores, six interfaces (two of them real), ten mounts and about the
// meminfo lines a 6.1 kernel prints; `step` moves every counter on.
std::string nodeBody(int cores, int step) {
    std::string body;
    family(body, "node_boot_time_seconds", "gauge");
    line(body, "node_boot_time_seconds", "", 1.7e9);
    std::vector<std::string> cpus;
    for (int cpu = 0; cpu < cores; ++cpu) {
        cpus.push_back(std::to_string(cpu));
    }
    std::sort(cpus.begin(), cpus.end()); // the exporter's order: "10" before "2"
    family(body, "node_cpu_guest_seconds_total", "counter");
    for (const std::string& cpu : cpus) {
        for (const char* mode : {"nice", "user"}) {
            line(body, "node_cpu_guest_seconds_total", "cpu=\"" + cpu + "\",mode=\"" + mode + "\"",
                 0);
        }
    }
    family(body, "node_cpu_seconds_total", "counter");
    for (const std::string& cpu : cpus) {
        int mode = 0;
        for (const char* name :
             {"idle", "iowait", "irq", "nice", "softirq", "steal", "system", "user"}) {
            line(body, "node_cpu_seconds_total", "cpu=\"" + cpu + "\",mode=\"" + name + "\"",
                 (123456.78 + step * (mode + 1)) / (mode + 1));
            ++mode;
        }
    }
    const char* devices[] = {"docker0", "eno1", "eno2", "lo", "veth3f2a", "wlp4s0"};
    const char* mounts[] = {"/",    "/boot",           "/boot/efi", "/home",     "/srv",
                            "/var", "/var/lib/docker", "/run",      "/run/lock", "/tmp"};
    for (const char* metric : {"avail_bytes", "device_error", "files", "files_free", "free_bytes",
                               "readonly", "size_bytes"}) {
        family(body, ("node_filesystem_" + std::string(metric)).c_str(), "gauge");
        int index = 0;
        for (const char* mount : mounts) {
            ++index;
            line(body, "node_filesystem_" + std::string(metric),
                 "device=\"/dev/nvme0n1p" + std::to_string(index) +
                     "\",fstype=\"ext4\",mountpoint=\"" + mount + "\"",
                 1.0e11 + index * 4096.0 * step);
        }
    }
    const char* meminfo[] = {"Active",
                             "Active_anon",
                             "Active_file",
                             "AnonHugePages",
                             "AnonPages",
                             "Bounce",
                             "Buffers",
                             "Cached",
                             "CommitLimit",
                             "Committed_AS",
                             "DirectMap1G",
                             "DirectMap2M",
                             "DirectMap4k",
                             "Dirty",
                             "FileHugePages",
                             "FilePmdMapped",
                             "HardwareCorrupted",
                             "HugePages_Free",
                             "HugePages_Rsvd",
                             "HugePages_Surp",
                             "HugePages_Total",
                             "Hugepagesize",
                             "Hugetlb",
                             "Inactive",
                             "Inactive_anon",
                             "Inactive_file",
                             "KReclaimable",
                             "KernelStack",
                             "Mapped",
                             "MemAvailable",
                             "MemFree",
                             "MemTotal",
                             "Mlocked",
                             "NFS_Unstable",
                             "PageTables",
                             "Percpu",
                             "SReclaimable",
                             "SUnreclaim",
                             "SecPageTables",
                             "ShmemHugePages",
                             "ShmemPmdMapped",
                             "Shmem",
                             "Slab",
                             "SwapCached",
                             "SwapFree",
                             "SwapTotal",
                             "Unevictable",
                             "VmallocChunk",
                             "VmallocTotal",
                             "VmallocUsed",
                             "Writeback",
                             "WritebackTmp",
                             "Zswap",
                             "Zswapped"};
    for (const char* field : meminfo) {
        const std::string name = "node_memory_" + std::string(field) + "_bytes";
        family(body, name.c_str(), "gauge");
        line(body, name, "", 2.7e11 - step * 4096.0);
    }
    for (const char* metric : {"address_assign_type", "carrier", "device_id", "dormant", "flags",
                               "iface_id", "iface_link", "iface_link_mode", "mtu_bytes",
                               "protocol_type", "transmit_queue_length", "up"}) {
        family(body, ("node_network_" + std::string(metric)).c_str(), "gauge");
        int index = 0;
        for (const char* device : devices) {
            line(body, "node_network_" + std::string(metric),
                 "device=\"" + std::string(device) + "\"", ++index);
        }
    }
    for (const char* direction : {"receive", "transmit"}) {
        for (const char* metric :
             {"bytes", "compressed", "drop", "errs", "fifo", "frame", "multicast", "packets"}) {
            const std::string name =
                "node_network_" + std::string(direction) + "_" + metric + "_total";
            family(body, name.c_str(), "counter");
            for (const char* device : devices) {
                line(body, name, "device=\"" + std::string(device) + "\"", 1e9 + step * 125000.0);
            }
        }
    }
    family(body, "node_pressure_memory_stalled_seconds_total", "counter");
    line(body, "node_pressure_memory_stalled_seconds_total", "", 12.5 + step * 0.001);
    family(body, "node_pressure_memory_waiting_seconds_total", "counter");
    line(body, "node_pressure_memory_waiting_seconds_total", "", 20.5 + step * 0.002);
    for (const char* name :
         {"node_context_switches_total", "node_forks_total", "node_intr_total"}) {
        family(body, name, "counter");
        line(body, name, "", 1e9 + step);
    }
    family(body, "node_time_seconds", "gauge");
    line(body, "node_time_seconds", "", 1.7e9 + step);
    family(body, "node_scrape_collector_success", "gauge");
    for (const char* collector :
         {"cpu", "filesystem", "meminfo", "netclass", "netdev", "pressure", "stat", "time"}) {
        line(body, "node_scrape_collector_success", "collector=\"" + std::string(collector) + "\"",
             1);
    }
    return body;
}

void BM_ExpositionWalk(benchmark::State& state) {
    const std::string body = nodeBody(static_cast<int>(state.range(0)), 0);
    std::size_t samples = 0;
    measure(state, [&] {
        ExpositionReader reader(body);
        samples = 0;
        while (reader.next() != nullptr) {
            ++samples;
        }
    });
    state.counters["body_bytes"] = static_cast<double>(body.size());
    state.counters["samples"] = static_cast<double>(samples);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_ExpositionWalk)->Arg(2)->Arg(64);

// One tick: a new body read into the blocks' figures against the one before, as the worker
// does after each fetch (two bodies taking turns, so every rate is computed).
void BM_NodeExporterTick(benchmark::State& state) {
    const std::string bodies[] = {nodeBody(static_cast<int>(state.range(0)), 0),
                                  nodeBody(static_cast<int>(state.range(0)), 1)};
    NodeExporterReader reader;
    auto now = NodeExporterReader::TimePoint(std::chrono::seconds(1));
    int turn = 0;
    measure(state, [&] {
        now += std::chrono::seconds(1);
        benchmark::DoNotOptimize(reader.read(bodies[turn ^= 1], now, shownByDefault()));
    });
    state.counters["body_bytes"] = static_cast<double>(bodies[0].size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bodies[0].size()));
}
BENCHMARK(BM_NodeExporterTick)->Arg(2)->Arg(64);

} // namespace

BENCHMARK_MAIN();
