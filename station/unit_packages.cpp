#include "station/unit_packages.h"

UnitPackage LoosePackage::PackageFor(const BoundController&, const StopSignal&)
{
    UnitPackage package;
    package.trace = m_Trace;
    if (const auto copy = m_Copy ? m_Copy(m_Path) : std::nullopt) {
        package.path = *copy;
        package.owned = true;
    } else {
        package.path = m_Path;
    }
    return package;
}
