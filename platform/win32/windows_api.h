#pragma once
// <windows.h> for this folder. Its A/W name macros would rename the core's
// own MessageBox and LoadString members in any header read after it, so
// they are removed here and the W functions are called by their full names.
#include <windows.h>

#undef MessageBox
#undef LoadString
