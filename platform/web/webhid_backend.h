#pragma once
// IHidBackend over the browser's WebHID, through the page (web_host.h).
// Paths are "webhid:<id>". Discovery handles open nothing: the attributes of
// a granted device are known without opening it, so a device that is not
// ours is never opened or written to. Write and read handles open the
// device; it stays open while the page has it (WebHID has one handle per
// device), and input reports are queued only while a read handle is open.
#include <map>
#include <vector>

#include "hid/hid_backend.h"

class WebHidBackend final : public IHidBackend {
public:
    HidInterfaceList OpenInterfaceList() override;
    bool HasInterface(HidInterfaceList list, std::uint32_t index) override;
    std::size_t InterfacePathSize(HidInterfaceList list, std::uint32_t index) override;
    bool InterfacePath(HidInterfaceList list, std::uint32_t index, std::size_t bufferChars,
                       std::u16string& path) override;
    void CloseInterfaceList(HidInterfaceList list) override;
    HidHandle Open(const std::u16string& path, HidOpenMode mode) override;
    bool GetAttributes(HidHandle handle, HidAttributes& attributes) override;
    bool Write(HidHandle handle, const std::uint8_t* report) override;
    HidReadStatus Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs) override;
    void Close(HidHandle handle) override;
    std::uint32_t LastErrorCode() override { return m_LastError; }
    // Device changes reach the page through navigator.hid's events, which
    // the page hands to the front end itself.
    NotifyHandle RegisterNotification(NotifyWindow) override { return 1; }
    void UnregisterNotification(NotifyHandle) override {}

private:
    struct Handle {
        int id;
        HidOpenMode mode;
    };
    const std::vector<int>* FindList(HidInterfaceList list) const;
    const Handle* FindHandle(HidHandle handle) const;

    std::map<HidInterfaceList, std::vector<int>> m_Lists;
    std::map<HidHandle, Handle> m_Handles;
    std::intptr_t m_Next = 1;
    std::uint32_t m_LastError = 0;
};
