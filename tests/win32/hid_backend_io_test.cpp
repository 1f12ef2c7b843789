// Report I/O of the Win32 backend with real overlapped Win32 calls, against
// a named pipe playing the HID interface.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "hid/hid.h"
#include "pipe_device.h"
#include "platform/win32/win32_hid_backend.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class PipeReadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        handle = backend.Open(device.Path(), HidOpenMode::ReadOverlapped);
        ASSERT_NE(handle, kInvalidHidHandle) << "error " << backend.LastErrorCode();
        ASSERT_TRUE(device.Accept());
        report.fill(0xCC);
    }
    void TearDown() override { backend.Close(handle); }

    // Runs action on another thread delayMs after the read has started.
    HidReadStatus ReadWhile(std::uint32_t timeoutMs, std::uint32_t delayMs, void (*action)(PipeDevice&))
    {
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            action(device);
        });
        const HidReadStatus status = backend.Read(handle, report.data(), timeoutMs);
        other.join();
        return status;
    }

    Win32HidBackend backend;
    PipeDevice device;
    HidHandle handle = kInvalidHidHandle;
    PipeReport report;
};

const PipeReport kSent = NumberedReport(7);

void SendReport(PipeDevice& device) { EXPECT_TRUE(device.Send(kSent)); }
void LeaveBus(PipeDevice& device) { device.Leave(); }

struct ReadCase {
    const char* name;
    void (*before)(PipeDevice&);  // before the read; may be null
    void (*during)(PipeDevice&);  // 50 ms into the read; may be null
    std::uint32_t timeoutMs;
    HidReadStatus expected;
    long long minMs;
    long long maxMs;
};

void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }

const ReadCase kReadCases[] = {
    {"ReportAlreadyWaiting", &SendReport, nullptr, 2000, HidReadStatus::Report, 0, 1000},
    {"ReportArrivesDuringTheWait", nullptr, &SendReport, 3000, HidReadStatus::Report, 0, 1500},
    {"NothingArrives", nullptr, nullptr, 150, HidReadStatus::Timeout, 140, 2000},
    {"DeviceLeftBeforeTheRead", &LeaveBus, nullptr, 2000, HidReadStatus::DeviceGone, 0, 1000},
    {"DeviceLeavesDuringTheWait", nullptr, &LeaveBus, 3000, HidReadStatus::DeviceGone, 0, 1500},
};

class PipeReadCases : public PipeReadTest, public ::testing::WithParamInterface<ReadCase> {};

}  // namespace

TEST_P(PipeReadCases, EndsAsExpected)
{
    const ReadCase& c = GetParam();
    if (c.before)
        c.before(device);
    const auto start = Clock::now();
    const HidReadStatus status =
        c.during ? ReadWhile(c.timeoutMs, 50, c.during) : backend.Read(handle, report.data(), c.timeoutMs);
    const long long elapsed = MsSince(start);
    EXPECT_EQ(status, c.expected);
    EXPECT_GE(elapsed, c.minMs);
    EXPECT_LE(elapsed, c.maxMs);
    if (c.expected == HidReadStatus::Report) {
        EXPECT_EQ(report, kSent);
    } else {
        PipeReport untouched;
        untouched.fill(0xCC);
        EXPECT_EQ(report, untouched) << "only a delivered report may touch the buffer";
    }
}

INSTANTIATE_TEST_SUITE_P(Win32HidBackend, PipeReadCases, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

// A timed-out read must have ended its request before it returns: the next
// report then goes to the next read and not into the abandoned buffer.
TEST_F(PipeReadTest, TimedOutRequestIsFinishedBeforeReturn)
{
    for (std::uint8_t round = 0; round < 5; ++round) {
        ASSERT_EQ(backend.Read(handle, report.data(), 20), HidReadStatus::Timeout);
        const PipeReport sent = NumberedReport(round);
        ASSERT_TRUE(device.Send(sent));
        ASSERT_EQ(backend.Read(handle, report.data(), 2000), HidReadStatus::Report) << "round " << int(round);
        EXPECT_EQ(report, sent);
    }
}

// The link drops the report ID and hands on bytes 1..count.
TEST_F(PipeReadTest, ReadHidDeliversBytesOneToSixtyFour)
{
    CHid link(backend);
    link.m_ReadHandle = handle;
    link.SetReadTimeout(2000);
    const PipeReport sent = NumberedReport(40);
    ASSERT_TRUE(device.Send(sent));
    std::uint8_t destination[64];
    ASSERT_EQ(link.ReadHid(destination, 64), kReadOk);
    EXPECT_TRUE(std::equal(destination, destination + 64, sent.begin() + 1));

    std::uint8_t partial[64];
    std::fill(std::begin(partial), std::end(partial), 0xEE);
    ASSERT_TRUE(device.Send(sent));
    ASSERT_EQ(link.ReadHid(partial, 6), kReadOk);
    EXPECT_TRUE(std::equal(partial, partial + 6, sent.begin() + 1));
    EXPECT_EQ(partial[6], 0xEE);

    link.SetReadTimeout(30);
    EXPECT_EQ(link.ReadHid(partial, 64), kReadTimeout);
    EXPECT_EQ(partial[0], sent[1]) << "a time-out leaves the destination alone";

    device.Leave();
    EXPECT_EQ(link.ReadHid(partial, 64), kReadDeviceGone);
    EXPECT_TRUE(link.DeviceGone());
    link.m_ReadHandle = kInvalidHidHandle;  // the fixture closes it
}

TEST(Win32HidBackendWrite, WritesOneWholeReportOnTheWriteHandle)
{
    Win32HidBackend backend;
    PipeDevice device;
    const HidHandle handle = backend.Open(device.Path(), HidOpenMode::WriteOverlapped);
    ASSERT_NE(handle, kInvalidHidHandle);
    ASSERT_TRUE(device.Accept());
    const PipeReport sent = NumberedReport(90);
    ASSERT_TRUE(backend.Write(handle, sent.data()));
    PipeReport received{};
    ASSERT_TRUE(device.Receive(received, 2000));
    EXPECT_EQ(received, sent);

    device.Leave();
    EXPECT_FALSE(backend.Write(handle, sent.data()));
    EXPECT_NE(backend.LastErrorCode(), 0u) << "a failed write leaves the system's reason";
    backend.Close(handle);
}

// A device that never takes its reports: once the pipe is full, a write
// gives up after about kHidWriteTimeoutMs, and its cancelled request has
// ended (nothing of it reaches the device later).
TEST(Win32HidBackendWrite, WriteToADeviceThatNeverReadsTimesOut)
{
    Win32HidBackend backend;
    PipeDevice device(kHidReportBytes);
    const HidHandle handle = backend.Open(device.Path(), HidOpenMode::WriteOverlapped);
    ASSERT_NE(handle, kInvalidHidHandle);
    ASSERT_TRUE(device.Accept());
    int written = 0;
    long long elapsed = 0;
    for (bool ok = true; ok; ++written) {
        ASSERT_LT(written, 100) << "the pipe never filled";
        const auto start = Clock::now();
        ok = backend.Write(handle, NumberedReport(static_cast<std::uint8_t>(written)).data());
        elapsed = MsSince(start);
    }
    --written;  // the last one failed
    EXPECT_GE(elapsed, 900);
    EXPECT_LE(elapsed, 3000);
    EXPECT_EQ(backend.LastErrorCode(), static_cast<std::uint32_t>(ERROR_TIMEOUT));

    PipeReport received{};
    for (int i = 0; i < written; ++i) {
        ASSERT_TRUE(device.Receive(received, 2000)) << "report " << i;
        EXPECT_EQ(received, NumberedReport(static_cast<std::uint8_t>(i)));
    }
    EXPECT_FALSE(device.Receive(received, 200)) << "the timed-out report was withdrawn";
    ASSERT_TRUE(backend.Write(handle, NumberedReport(200).data())) << "the handle still writes";
    ASSERT_TRUE(device.Receive(received, 2000));
    EXPECT_EQ(received, NumberedReport(200));
    backend.Close(handle);
}

TEST(Win32HidBackendOpen, FailsOnAPathWithNothingBehindIt)
{
    Win32HidBackend backend;
    EXPECT_EQ(backend.Open(u"\\\\.\\pipe\\updater-test-nobody-listens", HidOpenMode::ReadWriteOverlapped),
              kInvalidHidHandle);
    EXPECT_EQ(backend.LastErrorCode(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

// A handle on something that is not a HID interface has no attributes, so
// discovery passes over it.
TEST(Win32HidBackendOpen, AttributesFailOnANonHidHandle)
{
    Win32HidBackend backend;
    PipeDevice device;
    const HidHandle handle = backend.Open(device.Path(), HidOpenMode::ReadWriteOverlapped);
    ASSERT_NE(handle, kInvalidHidHandle);
    HidAttributes attributes;
    attributes.vendorId = 0x1234;
    EXPECT_FALSE(backend.GetAttributes(handle, attributes));
    backend.Close(handle);
}
