#pragma once
// Seeds of the stream_input, block_answers and whole_update targets.
#include <vector>

#include "fuzz/seeds/seeds.h"

std::vector<Seed> StreamInputSeeds();
std::vector<Seed> BlockAnswersSeeds();
std::vector<Seed> WholeUpdateSeeds();
