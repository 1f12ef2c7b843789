// The real udev layer on this machine: it must list (possibly nothing) and
// give a monitor whose receive never blocks the monitor thread.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/linux/hidraw_backend.h"
#include "platform/linux/udev_hidraw_system.h"

TEST(UdevHidrawSystem, ListsNodesAndMonitorsWithoutBlocking)
{
    UdevHidrawSystem system;
    std::vector<HidrawNode> nodes;
    ASSERT_TRUE(system.ListNodes(nodes));
    for (const HidrawNode& node : nodes)
        EXPECT_EQ(node.devnode.rfind("/dev/hidraw", 0), 0u) << node.devnode;

    auto monitor = system.OpenMonitor();
    if (!monitor)
        GTEST_SKIP() << "no netlink device events in this environment";
    EXPECT_GE(monitor->Fd(), 0);
    const auto start = std::chrono::steady_clock::now();
    while (monitor->Receive() != HidrawEvent::None) {
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    HidrawBackend backend(system);
    const HidInterfaceList list = backend.OpenInterfaceList();
    EXPECT_NE(list, kInvalidInterfaceList);
    backend.CloseInterfaceList(list);
}
