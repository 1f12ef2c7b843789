#pragma once
// A string for the page: UTF-8 in the module's heap, which the page frees.
#include <cstdlib>
#include <cstring>
#include <string>

inline char* PageString(const std::string& text)
{
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out)
        std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}
