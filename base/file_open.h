#pragma once
// Files named by UTF-16 paths, on every platform.
#include <cstdio>
#include <string>

// Opens a file named by a UTF-16 path with a C library mode such as "rb" or
// "wb". nullptr when the file cannot be opened.
std::FILE* OpenFileU16(const std::u16string& path, const char* mode);
