// Runs a fuzz check on kept inputs without libFuzzer: `fuzz_replay database|settings DIR...`.
// Every regular file under each DIR is one input; a failed check aborts, which fails the test.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_checks.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s database|settings DIR...\n", argv[0]);
        return 2;
    }
    auto check = std::strcmp(argv[1], "database") == 0   ? &fuzz::checkDatabase
                 : std::strcmp(argv[1], "settings") == 0 ? &fuzz::checkSettings
                                                         : nullptr;
    if (check == nullptr) {
        std::fprintf(stderr, "unknown check %s\n", argv[1]);
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    for (int i = 2; i < argc; ++i) {
        std::error_code ec;
        if (!std::filesystem::is_directory(argv[i], ec)) continue;
        for (const auto& e : std::filesystem::recursive_directory_iterator(argv[i])) {
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                inputs.push_back(e.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        std::string bytes(std::istreambuf_iterator<char>(in), {});
        std::fprintf(stderr, "%s\n", p.string().c_str());
        check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs passed\n", inputs.size());
    return 0;
}
