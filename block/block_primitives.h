#pragma once
// The request primitives of the block protocol. Each sends one request over
// the session's link and polls for its acknowledgement with a fixed number
// of reads and pauses; all pauses go through the session's clock. A stop
// request ends polls and pauses early (a failure). They return non-zero for
// success and 0 for failure, and show nothing.
//
// Not reentrant: they share the link's ReportOut and ReportIn. One thread at
// a time: the UI thread while identifying, the update worker during an update.
#include <cstdint>

class UpdateSession;

// Builds the frame and hands its first 17 + n bytes to WriteHid; the result
// is WriteHid's. data may be null (then no data bytes are sent).
int SendBlockCommand(UpdateSession& session, const std::uint8_t* data, std::uint32_t n,
                     std::uint32_t address, std::uint32_t size, std::uint16_t command,
                     std::uint16_t reserved, bool withCrc);

// Reads n bytes (at most 46 are delivered) of device memory at address.
// Up to 5 polls; a failed read is answered with an immediate re-send.
int BlockReadMemory(UpdateSession& session, std::uint8_t* dest, std::uint32_t n, std::uint32_t address);
// As BlockReadMemory, for the device information (the device type).
int BlockReadInfo(UpdateSession& session, std::uint8_t* dest, std::uint32_t n);
// Erases size bytes at address: 1000 ms, then up to 3 polls, each failed one
// followed by a re-send and 200 ms. After a re-send, what the other sends may
// still get is drained (block/owed_answers.h).
int BlockEraseResend(UpdateSession& session, std::uint32_t address, std::uint32_t size);
// Erases size bytes at address: one request, 1000 ms, then up to 20 polls,
// each failed one followed by 500 ms.
int BlockErasePoll(UpdateSession& session, std::uint32_t address, std::uint32_t size);
// Writes n bytes (at most 46) at address with `size` in the frame; WriteImage
// when isImage, else WriteMemory. CRC exactly for the special device types.
// Up to 100 polls back to back.
int BlockWrite(UpdateSession& session, const std::uint8_t* data, std::uint32_t address, std::uint32_t n,
               std::uint32_t size, bool isImage);
// Sends Finish and polls once.
int BlockFinish(UpdateSession& session);
// Stores packageVersionWord at the memory map's versionAddress (after an
// erase of 32 bytes there for the special device types).
int WriteVersionWord(UpdateSession& session);
