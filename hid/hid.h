#pragma once
// The HID link: finds the one supported controller, decides the protocol it
// speaks, opens it and moves 64-byte report payloads. It knows no protocol.
//
// Threads: one thread at a time uses a CHid and the report buffers below: the
// UI thread while no update runs, the update worker while one does.
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "hid/hid_backend.h"
#include "hid/protocol_family.h"


// ReadHid results. The first four are the platform's wait codes; the last
// two are ours: a read the system refused or finished with an error never
// comes back as 0.
inline constexpr std::uint32_t kReadOk = 0;                 // a report arrived
inline constexpr std::uint32_t kReadTimeout = 258;          // WAIT_TIMEOUT
inline constexpr std::uint32_t kReadNotOpen = 128;          // link not open for reading
inline constexpr std::uint32_t kReadFailed = 0xFFFFFFFFu;   // I/O or wait failure
inline constexpr std::uint32_t kReadDeviceGone = 0x48F;     // ERROR_DEVICE_NOT_CONNECTED

inline constexpr std::uint32_t kInitialReadTimeoutMs = 10;
inline constexpr std::uint32_t kOpenReadTimeoutMs = 200;

struct UsbId {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool operator==(const UsbId&) const = default;
};

struct SupportedController {
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::uint32_t protocolVariant;  // the family the pair speaks
};

// The supported vendor/product pairs (a front end may filter a device
// chooser with them).
std::span<const SupportedController> SupportedControllers();

// True for the three supported vendor/product pairs; *protocolVariant tells
// which protocol the pair speaks.
bool IsSupportedController(std::uint16_t vendorId, std::uint16_t productId, std::uint32_t* protocolVariant);

class CHid {
public:
    explicit CHid(IHidBackend& backend);
    virtual ~CHid();
    CHid(const CHid&) = delete;
    CHid& operator=(const CHid&) = delete;

    // 1 found (m_DevicePath and ProtocolVariant set, handle open in *handle,
    // the caller closes it), 0 none (earlier values kept).
    int FindHid(HidHandle* handle);
    // Takes the controller at path, when it is a supported one: 1 with
    // m_DevicePath and ProtocolVariant set, 0 (nothing changed) otherwise.
    // For front ends that name the device rather than take the first found.
    int SelectHid(const std::u16string& path);
    // 1 when a supported controller is present (with a pinned link: the one
    // at m_DevicePath). The first call also registers m_NotifyWindow for
    // device notifications, once, found or not.
    int ProbeHid();
    // Keeps the link to the controller at path: finding and probing look at
    // that interface alone and never open another (front ends that run one
    // session per controller, side by side).
    void PinDevice(const std::u16string& path, std::uint32_t variant);
    // Opens m_DevicePath for writing, then for reading; 1 when both opened.
    int OpenHid();
    // Reads one report and copies its bytes 1..count into destination.
    // Returns one of the kRead* codes; only kReadOk touches destination.
    std::uint32_t ReadHid(std::uint8_t* destination, std::uint8_t count);
    // Copies count bytes to ReportOut[1..] (always), then writes all 65 bytes.
    // Non-zero when written; 0 on a closed link or a failed write.
    int WriteHid(const std::uint8_t* source, std::uint8_t count);
    void SetReadTimeout(std::uint32_t ms) { m_ReadTimeout = ms; }
    int RegisterHidNotification();

    // True after a read reported that the controller is gone, until the next
    // successful OpenHid.
    bool DeviceGone() const { return m_DeviceGone.load(); }
    // The vendor and product of the controller found or selected; unknown
    // for a pinned path.
    std::optional<UsbId> FoundUsbId() const { return m_UsbId; }
    std::uint32_t LastWriteError() const { return m_LastWriteError; }
    IHidBackend& Backend() { return m_Backend; }

    // ReportOut: byte 0 is the report ID (always 0); it is never cleared, so a
    // short write leaves the bytes of earlier, longer writes behind it.
    std::uint8_t ReportOut[kHidReportBytes] = {};
    // ReportIn: bytes 1..64 of the last input report (the report ID is dropped).
    std::uint8_t ReportIn[64] = {};
    // kProtocolStream or kProtocolBlock; written by a successful FindHid.
    std::atomic<std::uint32_t> ProtocolVariant{kProtocolStream};

    NotifyWindow m_NotifyWindow = 0;
    std::atomic<std::uint32_t> m_Present{0};
    HidHandle m_WriteHandle = kInvalidHidHandle;
    HidHandle m_ReadHandle = kInvalidHidHandle;
    std::u16string m_DevicePath;
    std::uint32_t m_ReadTimeout = kInitialReadTimeoutMs;
    std::uint32_t m_NotifyRegistered = 0;
    NotifyHandle m_NotifyHandle = kNoNotifyHandle;

private:
    bool m_Pinned = false;
    std::optional<UsbId> m_UsbId;
    void CloseHandles();

    IHidBackend& m_Backend;
    std::atomic<bool> m_DeviceGone{false};
    std::uint32_t m_LastWriteError = 0;
};
