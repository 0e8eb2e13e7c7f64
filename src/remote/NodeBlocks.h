#pragma once

#include "model/Blocks.h"
#include "remote/NodeBlockReader.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The remote layer's row of the block table: which node exporter collectors each block needs,
// and the readers of the blocks that read metric families of their own. The four blocks every
// panel shows by default (CPU, memory, network, disk) are read by NodeExporterReader itself;
// the GPU and the panel's own load are not another machine's to tell.
namespace trovimo {

// The node exporter collectors the shown blocks need, each once, in a fixed order: "time" and
// "stat" always (the exporter's clock for the rates, the boot time that tells a reboot).
[[nodiscard]] std::vector<std::string_view> nodeCollectors(BlockSet shown);

// `query` (the URL's own query, possibly empty) with one collect[] parameter per collector
// appended, so that the exporter runs only those.
[[nodiscard]] std::string withCollectors(std::string_view query,
                                         const std::vector<std::string_view>& collectors);

// One reader per block that has families of its own, in the block table's order.
[[nodiscard]] std::vector<std::unique_ptr<NodeBlockReader>> makeNodeBlockReaders();

} // namespace trovimo
