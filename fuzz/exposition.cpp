// A node exporter's /metrics body: the exposition format reader, then two passes of the
// figures built from it (the second against the first, for the rates).
#include "remote/Exposition.h"
#include "remote/NodeExporterReader.h"

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trovimo;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    ExpositionReader reader(body);
    while (const ExpositionSample* sample = reader.next()) {
        if (sample->name.empty() || sample->labels.size() > ExpositionReader::maximumLabels ||
            sample->name.data() < body.data() ||
            sample->name.data() + sample->name.size() > body.data() + body.size()) {
            std::abort();
        }
    }
    NodeExporterReader nodes;
    const BlockSet all = BlockSet::all();
    const auto start = NodeExporterReader::TimePoint(std::chrono::seconds(100));
    (void)nodes.read(body, start, all);
    const Figures figures = nodes.read(body, start + std::chrono::seconds(1), all);
    // The same body twice: every rate is 0, every load within bounds.
    if (figures.cpu && (figures.cpu->perCore.empty() || !(figures.cpu->total >= 0.0) ||
                        figures.cpu->total > 1.0)) {
        std::abort();
    }
    if ((figures.network && (figures.network->download != 0.0 || figures.network->upload != 0.0)) ||
        (figures.diskActivity && figures.diskActivity->readBytesPerSecond != 0.0)) {
        std::abort();
    }
    if (figures.memory && figures.memory->total == 0) {
        std::abort();
    }
    if (figures.battery && figures.battery->percent &&
        !(*figures.battery->percent >= 0.0 && *figures.battery->percent <= 100.0)) {
        std::abort();
    }
    return 0;
}
