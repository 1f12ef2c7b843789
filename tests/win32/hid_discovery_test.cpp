// Discovery over the HID interfaces that the system's SetupAPI reports. No
// supported controller is attached to a test machine.
#include <gtest/gtest.h>

#include <vector>

#include "hid/hid.h"
#include "platform/win32/win32_hid_backend.h"
#include "platform/win32/windows_api.h"

namespace {

// Passes every call on to the Win32 backend and counts the registrations.
class CountingBackend final : public IHidBackend {
public:
    HidInterfaceList OpenInterfaceList() override { return m_Real.OpenInterfaceList(); }
    bool HasInterface(HidInterfaceList list, std::uint32_t index) override
    {
        return m_Real.HasInterface(list, index);
    }
    std::size_t InterfacePathSize(HidInterfaceList list, std::uint32_t index) override
    {
        return m_Real.InterfacePathSize(list, index);
    }
    bool InterfacePath(HidInterfaceList list, std::uint32_t index, std::size_t bufferChars,
                       std::u16string& path) override
    {
        return m_Real.InterfacePath(list, index, bufferChars, path);
    }
    void CloseInterfaceList(HidInterfaceList list) override { m_Real.CloseInterfaceList(list); }
    HidHandle Open(const std::u16string& path, HidOpenMode mode) override
    {
        const HidHandle handle = m_Real.Open(path, mode);
        if (handle != kInvalidHidHandle)
            ++openHandles;
        return handle;
    }
    bool GetAttributes(HidHandle handle, HidAttributes& attributes) override
    {
        return m_Real.GetAttributes(handle, attributes);
    }
    bool Write(HidHandle handle, const std::uint8_t* report) override { return m_Real.Write(handle, report); }
    HidReadStatus Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs) override
    {
        return m_Real.Read(handle, report, timeoutMs);
    }
    void Close(HidHandle handle) override
    {
        --openHandles;
        m_Real.Close(handle);
    }
    std::uint32_t LastErrorCode() override { return m_Real.LastErrorCode(); }
    NotifyHandle RegisterNotification(NotifyWindow window) override
    {
        registered.push_back(m_Real.RegisterNotification(window));
        return registered.back();
    }
    void UnregisterNotification(NotifyHandle handle) override
    {
        unregistered.push_back(handle);
        m_Real.UnregisterNotification(handle);
    }

    std::vector<NotifyHandle> registered;
    std::vector<NotifyHandle> unregistered;
    int openHandles = 0;

private:
    Win32HidBackend m_Real;
};

class MessageWindow {
public:
    MessageWindow()
        : m_Window(CreateWindowExW(0, L"STATIC", L"notifications", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                   nullptr))
    {
    }
    ~MessageWindow() { DestroyWindow(m_Window); }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    NotifyWindow Target() const { return reinterpret_cast<NotifyWindow>(m_Window); }

private:
    HWND m_Window;
};

}  // namespace

TEST(Win32Discovery, EveryReportedInterfaceHasAPathOfTheSizeItAsksFor)
{
    Win32HidBackend backend;
    const HidInterfaceList list = backend.OpenInterfaceList();
    ASSERT_NE(list, kInvalidInterfaceList);
    std::uint32_t index = 0;
    for (; index < 256 && backend.HasInterface(list, index); ++index) {
        const std::size_t size = backend.InterfacePathSize(list, index);
        ASSERT_GT(size, 1u) << "interface " << index;
        std::u16string path = u"unchanged";
        EXPECT_FALSE(backend.InterfacePath(list, index, size - 1, path)) << "a buffer one too small";
        EXPECT_EQ(path, u"unchanged");
        ASSERT_TRUE(backend.InterfacePath(list, index, size, path));
        EXPECT_EQ(path.size(), size - 1);
    }
    EXPECT_LT(index, 256u);
    std::printf("HID interfaces reported: %u\n", index);
    backend.CloseInterfaceList(list);
}

TEST(Win32Discovery, NoSupportedControllerProbesZeroAndRegistersOnce)
{
    CountingBackend backend;
    MessageWindow window;
    {
        CHid link(backend);
        link.ProtocolVariant = kProtocolBlock;
        link.m_NotifyWindow = window.Target();
        link.m_DevicePath = u"earlier";

        HidHandle handle = 12345;
        EXPECT_EQ(link.FindHid(&handle), 0);
        EXPECT_EQ(handle, kInvalidHidHandle);
        EXPECT_EQ(link.ProbeHid(), 0);
        EXPECT_EQ(link.ProbeHid(), 0);

        EXPECT_EQ(link.m_Present.load(), 0u);
        EXPECT_EQ(link.m_NotifyRegistered, 1u);
        EXPECT_EQ(link.m_DevicePath, u"earlier");
        EXPECT_EQ(link.ProtocolVariant.load(), kProtocolBlock) << "kept when nothing is found";
        ASSERT_EQ(backend.registered.size(), 1u) << "one registration, at the first probe";
        EXPECT_NE(backend.registered[0], kNoNotifyHandle) << "the window is registered for HID interfaces";
        EXPECT_EQ(backend.openHandles, 0) << "a probe leaves no handle open";
    }
    EXPECT_EQ(backend.unregistered, backend.registered) << "the link cancels its registration";
}
