#pragma once
// The options of `catalogue keys init` and `catalogue keys rotate`.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace CLI {
class App;
}

struct KeySetOptions {
    std::string folder;                      // the keys/ folder beside the catalogue
    std::vector<std::string> roots;          // --root PUBFILE
    std::size_t rootThreshold = 0;           // --root-threshold (0: init 2, rotate the latest's)
    std::vector<std::string> catalogueKeys;  // --catalogue-key PUBFILE
    std::size_t threshold = 0;               // --threshold (0: init 1, rotate the latest's)
    std::uint32_t expiresDays = 365;         // --expires
};

struct KeysSubcommands {
    CLI::App* init = nullptr;
    CLI::App* rotate = nullptr;
};

KeysSubcommands AddKeysSubcommands(CLI::App& catalogue, KeySetOptions& options);
