// Runs a fuzz target without libFuzzer, as the test builds replay its
// committed corpus: each file of the folder named on the command line once,
// in name order, from a block of exactly its size so that reads past the
// input are caught.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::vector<std::filesystem::path> inputs;
    for (const auto& e : std::filesystem::directory_iterator(argv[1])) inputs.push_back(e.path());
    std::sort(inputs.begin(), inputs.end());
    for (const auto& p : inputs) {
        std::ifstream f(p, std::ios::binary);
        const std::vector<uint8_t> data{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
