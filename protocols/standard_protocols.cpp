#include "protocols/standard_protocols.h"

#include "block/block_driver.h"
#include "stream/stream_driver.h"

ProtocolDrivers StandardProtocolDrivers()
{
    ProtocolDrivers drivers;
    drivers.push_back(std::make_unique<StreamDriver>());
    drivers.push_back(std::make_unique<BlockDriver>());
    return drivers;
}
