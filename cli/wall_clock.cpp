#include "cli/wall_clock.h"

#include <chrono>

UtcSeconds WallClockNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}
