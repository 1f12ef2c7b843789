#include "platform/qt/file_filter.h"

#include <vector>

namespace {

std::vector<std::u16string> Split(const std::u16string& text, char16_t separator)
{
    std::vector<std::u16string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == separator) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::u16string PatternList(const std::u16string& patterns)
{
    std::u16string list;
    for (const std::u16string& pattern : Split(patterns, u';')) {
        if (pattern.empty())
            continue;
        if (!list.empty())
            list += u' ';
        list += pattern;
    }
    return list;
}

}  // namespace

std::u16string QtNameFilters(const std::u16string& filter)
{
    const std::vector<std::u16string> fields = Split(filter, u'|');
    std::u16string result;
    // Label and pattern alternate; the empty fields of "||" end the list.
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        if (fields[i].empty())
            break;
        const std::u16string patterns = PatternList(fields[i + 1]);
        if (patterns.empty())
            continue;
        if (!result.empty())
            result += u";;";
        result += fields[i] + u" (" + patterns + u")";
    }
    return result;
}
