#pragma once
// The one place that knows every protocol: a session's drivers.
#include "engine/protocol_driver.h"

// A fresh stream and block driver for one session, the stream one first.
ProtocolDrivers StandardProtocolDrivers();
