// Writes a seed corpus for each fuzz target: fuzz_seeds OUT_DIR makes
// OUT_DIR/<target>/seed-N files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Seeds = std::vector<std::string>;

static std::map<std::string, Seeds> AllSeeds() {
    std::map<std::string, Seeds> seeds;
    seeds["fuzz_stringlist"] = {
        "Error = Fehler\r\nWarning = Achtung\r\n",
        "InvalidVersionFormat = Segment %d %s\r\n\r\nPlay=\r\n",
        std::string("Error\0=x\rPlay = a=b", 19),
    };
    return seeds;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR\n");
        return 2;
    }
    for (const auto& [target, seeds] : AllSeeds()) {
        fs::path dir = fs::path(argv[1]) / target;
        fs::create_directories(dir);
        for (size_t i = 0; i < seeds.size(); ++i) {
            std::ofstream out(dir / ("seed-" + std::to_string(i)), std::ios::binary);
            out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
        }
    }
    return 0;
}
