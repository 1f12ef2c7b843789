// A unit named from its interface path alone, as the station does on Windows.
#include <gtest/gtest.h>

#include "platform/win32/hid_path_identity.h"

TEST(HidPathIdentity, VidPidAndPortFromThePath)
{
    struct Case {
        std::u16string path;
        bool named;
        std::uint16_t vendor, product;
        std::string port;
    };
    for (const Case& c : {
             Case{u"\\\\?\\hid#vid_0483&pid_5750#7&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}", true,
                  0x0483, 0x5750, "7&1a2b3c4d&0&0000"},
             Case{u"\\\\?\\HID#VID_5A3C&PID_4C21&MI_00#8&2F&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}", true,
                  0x5A3C, 0x4C21, "8&2f&0&0000"},
             Case{u"\\\\?\\hid#acpi0c50#3&aa&0#{4d1e55b2-f16f-11cf-88cb-001111000030}", false, 0, 0, ""},
         }) {
        const auto identity = HidPathIdentity(c.path);
        ASSERT_EQ(identity.has_value(), c.named);
        if (!c.named)
            continue;
        EXPECT_EQ(identity->vendorId, c.vendor);
        EXPECT_EQ(identity->productId, c.product);
        EXPECT_EQ(identity->port, c.port);
    }
}
