// Enumeration order, the path buffer rule and controller discovery over the
// hidraw backend, with stand-in nodes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hid/hid.h"
#include "linux/fake_hidraw_system.h"
#include "platform/linux/hidraw_backend.h"

namespace {

constexpr std::uint16_t kOtherVendor = 0x1234;

std::vector<std::u16string> ListedPaths(HidrawBackend& backend)
{
    std::vector<std::u16string> paths;
    const HidInterfaceList list = backend.OpenInterfaceList();
    for (std::uint32_t i = 0; backend.HasInterface(list, i); ++i) {
        std::u16string path;
        EXPECT_TRUE(backend.InterfacePath(list, i, backend.InterfacePathSize(list, i), path));
        paths.push_back(path);
    }
    backend.CloseInterfaceList(list);
    return paths;
}

TEST(HidrawEnumeration, ListsNodesInAscendingNodeNumber)
{
    FakeHidrawSystem system;
    for (const char* node : {"/dev/hidraw10", "/dev/hidraw2", "/dev/hidraw1", "/dev/hidraw0"})
        system.Add(node, kOtherVendor, 1);
    HidrawBackend backend(system);
    EXPECT_EQ(ListedPaths(backend), (std::vector<std::u16string>{
                                        u"/dev/hidraw0", u"/dev/hidraw1", u"/dev/hidraw2",
                                        u"/dev/hidraw10"}));
}

TEST(HidrawEnumeration, PathNeedsRoomForItsTerminator)
{
    FakeHidrawSystem system;
    system.Add("/dev/hidraw7", kOtherVendor, 1);
    HidrawBackend backend(system);
    const HidInterfaceList list = backend.OpenInterfaceList();
    ASSERT_EQ(backend.InterfacePathSize(list, 0), 13u);  // 12 characters + terminator

    struct Case {
        std::size_t bufferChars;
        bool fits;
    };
    for (const Case& c : {Case{0, false}, Case{12, false}, Case{13, true}, Case{40, true}}) {
        std::u16string path = u"untouched";
        EXPECT_EQ(backend.InterfacePath(list, 0, c.bufferChars, path), c.fits) << c.bufferChars;
        EXPECT_EQ(path, c.fits ? u"/dev/hidraw7" : u"untouched") << c.bufferChars;
    }
    backend.CloseInterfaceList(list);
}

TEST(HidrawEnumeration, FailedListingGivesNoList)
{
    FakeHidrawSystem system;
    system.FailList();
    HidrawBackend backend(system);
    EXPECT_EQ(backend.OpenInterfaceList(), kInvalidInterfaceList);
    EXPECT_EQ(backend.LastErrorCode(), static_cast<std::uint32_t>(ENOMEM));
}

struct NodeSpec {
    const char* devnode;
    std::uint16_t vendorId;
    std::uint16_t productId;
    bool refuseOpen;
};

struct DiscoveryCase {
    const char* name;
    std::vector<NodeSpec> nodes;
    int found;
    std::u16string path;
    std::uint32_t variant;
};

void PrintTo(const DiscoveryCase& c, std::ostream* os) { *os << c.name; }

class HidrawDiscovery : public ::testing::TestWithParam<DiscoveryCase> {};

TEST_P(HidrawDiscovery, FindsTheFirstSupportedNodeInOrder)
{
    const DiscoveryCase& c = GetParam();
    FakeHidrawSystem system;
    for (const NodeSpec& node : c.nodes) {
        system.Add(node.devnode, node.vendorId, node.productId);
        if (node.refuseOpen)
            system.RefuseOpen(node.devnode);
    }
    HidrawBackend backend(system);
    CHid link(backend);
    link.ProtocolVariant = 7;  // untouched when nothing is found
    EXPECT_EQ(link.ProbeHid(), c.found);
    EXPECT_EQ(link.m_DevicePath, c.path);
    EXPECT_EQ(link.ProtocolVariant.load(), c.variant);
    EXPECT_EQ(system.OpenDescriptors(), 0u) << "a probe leaves nothing open";
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, HidrawDiscovery,
    ::testing::Values(
        DiscoveryCase{"NoNodes", {}, 0, u"", 7},
        DiscoveryCase{"OnlyOtherDevices",
                      {{"/dev/hidraw0", kOtherVendor, 0x5750, false},
                       {"/dev/hidraw1", 0x0483, 0x4C21, false}},
                      0, u"", 7},
        // The block controller's path is longer than the first node's, so
        // its path is fetched again with a buffer of its own size.
        DiscoveryCase{"LongerPathLater",
                      {{"/dev/hidraw12", 0x5A3C, 0x4C21, false},
                       {"/dev/hidraw0", kOtherVendor, 1, false},
                       {"/dev/hidraw20", 0x0483, 0x5750, false}},
                      1, u"/dev/hidraw12", kProtocolBlock},
        DiscoveryCase{"UnopenableNodeSkipped",
                      {{"/dev/hidraw1", 0x5A3C, 0x4C21, true},
                       {"/dev/hidraw2", 0x5A3C, 0x5750, false}},
                      1, u"/dev/hidraw2", kProtocolStream}),
    [](const ::testing::TestParamInfo<DiscoveryCase>& info) { return info.param.name; });

}  // namespace
