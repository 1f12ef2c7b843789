#pragma once
// A simulated block-protocol controller: flash memory in erasable regions,
// a device type answered by ReadInfo and a version word at the memory map's
// address for that type. It checks what a real bootloader checks and can be
// told to misbehave.
//
// Flash model:
// - Bytes outside every region read 0xFF; an erase or a write that does not
//   lie wholly inside one region is refused.
// - Erase sets the requested bytes (exactly those) to 0xFF.
// - WriteImage, and WriteMemory on the special device types, program flash:
//   every target byte must read 0xFF or already hold the byte written (a
//   re-sent block is harmless); otherwise the frame is refused and nothing is
//   stored. On those types the frame's CRC must match its data.
// - WriteMemory on the other types rewrites the addressed bytes in place (the
//   bootloader updates its version word itself; the host erases nothing first).
// - A refused frame is not acknowledged.
// - Finish records that the image was installed.
//
// Thread-safe: the bus calls OnOutputReport with its lock held; the getters
// may be called from any thread meanwhile. Works with any clock (answers are
// delayed on the bus clock, never by sleeping).
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "block/block_frame.h"
#include "sim/sim_device_model.h"
#include "sim/virtual_hid_bus.h"

struct SimMemoryRegion {
    std::uint32_t base = 0;
    std::uint32_t size = 0;
};

struct SimBlockFaults {
    bool ignoreReadInfo = false;
    bool ignoreReadMemory = false;
    bool ignoreErase = false;
    bool ignoreFinish = false;
    bool ignoreVersionWrite = false;  // WriteMemory: nothing stored, no answer
    // WriteImage frames number dropWritesFrom .. dropWritesFrom + dropWriteCount - 1
    // (counting every WriteImage frame from 0) get no answer.
    std::uint32_t dropWritesFrom = 0;
    std::uint32_t dropWriteCount = 0;
    bool dropStoresData = false;  // a dropped frame is stored all the same (only its answer is lost)
    // The device leaves the bus when this WriteImage frame (counted from 0) arrives.
    std::optional<std::uint32_t> unplugAtWrite;
    // Every answer is sent twice, so an old copy stays queued for the next request.
    bool repeatAnswers = false;
    // A WriteImage that covers this address stores the byte inverted (and is
    // acknowledged): flash that silently keeps a wrong bit pattern.
    std::optional<std::uint32_t> corruptByteAt;
    std::uint32_t answerDelayMs = 0;
};

struct SimBlockConfig {
    std::uint32_t deviceType = 0;
    std::uint32_t versionWord = 0x0000008C;  // stored at start
    std::vector<SimMemoryRegion> regions = {{0x08000000, 0x40000}, {0x01000000, 0x40000}};
    SimBlockFaults faults;
};

struct SimEraseRequest {
    std::uint32_t address = 0;
    std::uint32_t size = 0;
    bool operator==(const SimEraseRequest&) const = default;
};

// One frame as the device received it.
struct SimReceivedFrame {
    BlockFrameFields fields;
    std::array<std::uint8_t, kBlockFrameBytes> bytes{};  // report bytes 1..64
    std::vector<std::uint8_t> Data() const;              // the `length` data bytes
};

class SimBlockController final : public ISimDeviceModel {
public:
    explicit SimBlockController(SimBlockConfig config = {});

    void OnOutputReport(const std::uint8_t* report65, SimDevicePort& port) override;

    void SetFaults(const SimBlockFaults& faults);
    std::uint32_t DeviceType() const;
    std::vector<std::uint8_t> Memory(std::uint32_t address, std::uint32_t count) const;
    std::uint32_t Word(std::uint32_t address) const;
    std::vector<SimEraseRequest> EraseRequests() const;
    std::vector<SimReceivedFrame> Frames() const;
    std::vector<SimReceivedFrame> FramesOf(BlockCommand command) const;
    // Write frames refused by the flash model or for a bad CRC.
    int RefusedWrites() const;
    bool Finished() const;
    int FinishCount() const;

private:
    struct Region {
        std::uint32_t base;
        std::vector<std::uint8_t> bytes;
    };

    // Each returns true when the frame is acknowledged.
    bool HandleLocked(const SimReceivedFrame& frame, SimDevicePort& port,
                      std::array<std::uint8_t, kBlockFrameBytes>& answer);
    bool HandleWriteImageLocked(const SimReceivedFrame& frame, SimDevicePort& port);
    bool HandleWriteMemoryLocked(const SimReceivedFrame& frame);
    bool HandleEraseLocked(const BlockFrameFields& fields);
    bool ProgramLocked(const SimReceivedFrame& frame, bool asFlash);
    Region* RegionFor(std::uint32_t address, std::uint32_t count);
    const Region* RegionFor(std::uint32_t address, std::uint32_t count) const;
    std::uint8_t ByteAtLocked(std::uint32_t address) const;

    mutable std::mutex m_Mutex;
    SimBlockConfig m_Config;
    std::vector<Region> m_Regions;
    std::vector<SimEraseRequest> m_Erases;
    std::vector<SimReceivedFrame> m_Frames;
    std::uint32_t m_WriteImageFrames = 0;
    int m_RefusedWrites = 0;
    int m_FinishCount = 0;
};

inline constexpr std::uint16_t kSimBlockVendorId = 0x5A3C;
inline constexpr std::uint16_t kSimBlockProductId = 0x4C21;

// A bus device for the model: vendor 0x5A3C, product 0x4C21.
SimDeviceConfig MakeSimBlockDevice(std::shared_ptr<SimBlockController> model);
