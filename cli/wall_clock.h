#pragma once
// The system clock as the catalogue's times count: seconds since 1970, UTC.
#include "catalogue/utc_time.h"

UtcSeconds WallClockNow();
