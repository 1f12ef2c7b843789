#pragma once
// Seed inputs of the fuzz targets, built with the package writer and the wire
// builders so they always match the current formats.
#include <cstdint>
#include <string>
#include <vector>

struct Seed {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::vector<Seed> PackageSeeds();
std::vector<Seed> SimStreamSeeds();
std::vector<Seed> SimBlockSeeds();
std::vector<Seed> CatalogueSeeds();
// Inputs of the signify target (fuzz/signify_input.h).
std::vector<Seed> SignifySeeds();
// Inputs of the key_chain target (fuzz/key_chain_input.h).
std::vector<Seed> KeyChainSeeds();
