#pragma once
// What is wrong with a package record, in words for a person (--json keeps
// RecordProblemName's code).
#include <string>

#include "package/package_validation.h"

// "sound" for RecordProblem::None.
std::string RecordProblemText(RecordProblem problem);
