#pragma once
// The common dialog's filter string ("label|pattern;pattern|...||") in the
// form a Qt file dialog takes ("label (pattern pattern);;...").
#include <string>

// Each label keeps its text and gets its patterns appended in parentheses,
// separated by blanks: "File type(*.dat)|*.dat||" becomes
// "File type(*.dat) (*.dat)". A label without a pattern is dropped.
std::u16string QtNameFilters(const std::u16string& filter);
