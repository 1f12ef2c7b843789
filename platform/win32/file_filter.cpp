#include "platform/win32/file_filter.h"

std::u16string ToCommonDialogFilter(const std::u16string& barSeparated)
{
    std::u16string filter = barSeparated;
    // The closing "||" marks the end of the list; without it the list ends
    // where the text does.
    while (!filter.empty() && filter.back() == u'|')
        filter.pop_back();
    for (char16_t& c : filter) {
        if (c == u'|')
            c = u'\0';
    }
    filter.push_back(u'\0');  // ends the last field
    filter.push_back(u'\0');  // ends the list
    return filter;
}
