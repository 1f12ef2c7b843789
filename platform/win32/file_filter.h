#pragma once
// The file dialog's filter as the core writes it, "label|pattern|...||", in
// the form GetOpenFileNameW takes: each field ends with a NUL and the list
// with one more. The returned string holds those NULs; pass its data().
#include <string>

std::u16string ToCommonDialogFilter(const std::u16string& barSeparated);
