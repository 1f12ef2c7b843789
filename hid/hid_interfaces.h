#pragma once
// The walk over the HID interfaces on the bus, shared by CHid::FindHid and
// the command line's listing.
#include <functional>
#include <string>

#include "hid/hid_backend.h"

// Calls visit with the path of each interface, in the bus's order, until it
// returns true; an interface whose path cannot be fetched is skipped. True
// when visit returned true.
bool ForEachHidInterface(IHidBackend& backend, const std::function<bool(const std::u16string& path)>& visit);
