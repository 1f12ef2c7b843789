#pragma once
// The package layer reads packages by path, so a target hands it each input
// through one file of its own process, rewritten for every input and removed
// at exit.
#include <cstddef>
#include <cstdint>
#include <string>

// Path of this process's input file.
const std::u16string& FuzzInputPath();

// Replaces the file's content with the input. False on an I/O failure.
bool WriteFuzzInput(const std::uint8_t* data, std::size_t size);
