#pragma once
// UTF-8 <-> UTF-16 for paths and console output.
#include <string>

std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);
