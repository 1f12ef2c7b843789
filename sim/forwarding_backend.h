#pragma once
// A backend that hands every call to another one; subclasses override the
// calls they watch or shape (tracing, pacing).
#include "hid/hid_backend.h"

class ForwardingBackend : public IHidBackend {
public:
    explicit ForwardingBackend(IHidBackend& inner) : m_Inner(inner) {}

    HidInterfaceList OpenInterfaceList() override { return m_Inner.OpenInterfaceList(); }
    bool HasInterface(HidInterfaceList list, std::uint32_t index) override
    {
        return m_Inner.HasInterface(list, index);
    }
    std::size_t InterfacePathSize(HidInterfaceList list, std::uint32_t index) override
    {
        return m_Inner.InterfacePathSize(list, index);
    }
    bool InterfacePath(HidInterfaceList list, std::uint32_t index, std::size_t bufferChars,
                       std::u16string& path) override
    {
        return m_Inner.InterfacePath(list, index, bufferChars, path);
    }
    void CloseInterfaceList(HidInterfaceList list) override { m_Inner.CloseInterfaceList(list); }
    HidHandle Open(const std::u16string& path, HidOpenMode mode) override
    {
        return m_Inner.Open(path, mode);
    }
    bool GetAttributes(HidHandle handle, HidAttributes& attributes) override
    {
        return m_Inner.GetAttributes(handle, attributes);
    }
    bool Write(HidHandle handle, const std::uint8_t* report) override
    {
        return m_Inner.Write(handle, report);
    }
    HidReadStatus Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs) override
    {
        return m_Inner.Read(handle, report, timeoutMs);
    }
    void Close(HidHandle handle) override { m_Inner.Close(handle); }
    std::uint32_t LastErrorCode() override { return m_Inner.LastErrorCode(); }
    NotifyHandle RegisterNotification(NotifyWindow window) override
    {
        return m_Inner.RegisterNotification(window);
    }
    void UnregisterNotification(NotifyHandle handle) override
    {
        m_Inner.UnregisterNotification(handle);
    }

private:
    IHidBackend& m_Inner;
};
