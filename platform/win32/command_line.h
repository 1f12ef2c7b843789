#pragma once
// The program's only option, for demonstrations and GUI tests:
// --simulate=stream or --simulate=block runs against a simulated controller.
// Anything else on the command line is ignored, as the program takes none.
#include <optional>

#include "sim/demo_setup.h"

std::optional<DemoKind> SimulateOption(const wchar_t* commandLine);
