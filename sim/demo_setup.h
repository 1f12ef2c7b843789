#pragma once
// The demo mode: one simulated controller of either family on a bus.
#include <optional>
#include <string>
#include <string_view>

#include "engine/controller_binding.h"
#include "sim/virtual_hid_bus.h"

enum class DemoKind { Stream, Block };

// "stream" or "block"; nullopt for anything else.
std::optional<DemoKind> ParseDemoKind(std::string_view name);
// Plugs a simulated controller that accepts the demo package of its family.
VirtualHidBus::DeviceId PlugDemoController(VirtualHidBus& bus, DemoKind kind);
// File name of the demo package for that family (next to the program).
std::u16string DemoPackageName(DemoKind kind);
// The controllers the demo package of that family is for, as its catalogue
// entry names them: every USB id of the family, the demo block type.
ControllerBinding DemoBinding(DemoKind kind);
