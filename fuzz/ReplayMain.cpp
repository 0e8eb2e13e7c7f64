// Runs a fuzz target without libFuzzer: every file of a corpus folder, then a number of
// pseudo-random inputs derived from them (fixed seed, so a failure is reproducible).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS-DIR [RANDOM-RUNS]\n", argv[0]);
        return 2;
    }
    std::vector<std::vector<std::uint8_t>> corpus;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1], error)) {
        std::ifstream in(entry.path(), std::ios::binary);
        corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    corpus.emplace_back();
    for (const auto& input : corpus) {
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    const long runs = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 10000;
    std::mt19937 random(12345);
    for (long run = 0; run < runs; ++run) {
        std::vector<std::uint8_t> input = corpus[random() % corpus.size()];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int edit = 0; edit < edits; ++edit) {
            const unsigned kind = random() % 4;
            if (kind == 0 || input.empty()) {
                input.insert(input.begin() +
                                 static_cast<long>(input.empty() ? 0 : random() % input.size()),
                             static_cast<std::uint8_t>(random()));
            } else if (kind == 1) {
                input[random() % input.size()] = static_cast<std::uint8_t>(random());
            } else if (kind == 2) {
                input.erase(input.begin() + static_cast<long>(random() % input.size()));
            } else {
                input.resize(random() % (input.size() + 1));
            }
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%zu corpus inputs and %ld random inputs ran without a fault\n", corpus.size(),
                runs);
    return 0;
}
