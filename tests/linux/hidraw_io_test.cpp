// Reports through the hidraw backend: byte layout both ways, time-outs,
// cancellation by Close and unplugging, with socket pairs for nodes.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "hid/hid.h"
#include "linux/fake_hidraw_system.h"
#include "platform/linux/hidraw_backend.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kNode = "/dev/hidraw4";
constexpr std::uint8_t kUntouched = 0xAA;

long MsSince(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class HidrawIo : public ::testing::Test {
protected:
    void SetUp() override
    {
        system.Add(kNode, 0x0483, 0x5750);
        readHandle = backend.Open(u"/dev/hidraw4", HidOpenMode::ReadOverlapped);
        ASSERT_NE(readHandle, kInvalidHidHandle);
        device = system.DeviceEnd(kNode);
        std::memset(report, kUntouched, sizeof report);
    }
    void DeviceSends(const std::vector<std::uint8_t>& bytes)
    {
        ASSERT_EQ(::send(device, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    bool Untouched() const
    {
        for (std::uint8_t b : report)
            if (b != kUntouched)
                return false;
        return true;
    }

    FakeHidrawSystem system;
    HidrawBackend backend{system};
    HidHandle readHandle = kInvalidHidHandle;
    int device = -1;
    std::uint8_t report[kHidReportBytes];
};

std::vector<std::uint8_t> Counting(std::size_t count, std::uint8_t first)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

struct ReadCase {
    const char* name;
    std::vector<std::uint8_t> sent;      // what one read(2) of the node gives
    std::vector<std::uint8_t> expected;  // the 65 bytes delivered
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class HidrawReadLayout : public HidrawIo, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(HidrawReadLayout, DeliversReportIdThenPayload)
{
    DeviceSends(GetParam().sent);
    ASSERT_EQ(backend.Read(readHandle, report, 1000), HidReadStatus::Report);
    EXPECT_EQ(std::vector<std::uint8_t>(report, report + kHidReportBytes), GetParam().expected);
}

std::vector<std::uint8_t> Joined(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Reports, HidrawReadLayout,
    ::testing::Values(
        // Unnumbered reports come without their ID byte.
        ReadCase{"Unnumbered64", Counting(64, 1), Joined({0}, Counting(64, 1))},
        ReadCase{"ShortIsZeroFilled", {9, 8, 7},
                 Joined({0, 9, 8, 7}, std::vector<std::uint8_t>(61, 0))},
        // A numbered report keeps its ID.
        ReadCase{"Numbered65", Counting(65, 3), Counting(65, 3)}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

TEST_F(HidrawIo, ReadTimesOutAfterAboutItsTimeout)
{
    const auto start = Clock::now();
    EXPECT_EQ(backend.Read(readHandle, report, 150), HidReadStatus::Timeout);
    const long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 145);
    EXPECT_LT(elapsed, 1000);
    EXPECT_TRUE(Untouched());
    // Nothing stayed outstanding: a report sent now is the next one read.
    DeviceSends(Counting(64, 40));
    ASSERT_EQ(backend.Read(readHandle, report, 1000), HidReadStatus::Report);
    EXPECT_EQ(report[1], 40);
}

TEST_F(HidrawIo, CloseCutsAWaitingReadShort)
{
    std::uint8_t threadReport[kHidReportBytes];
    std::memset(threadReport, kUntouched, sizeof threadReport);
    auto reader = std::async(std::launch::async, [&] {
        const auto start = Clock::now();
        const HidReadStatus status = backend.Read(readHandle, threadReport, 10000);
        return std::make_tuple(status, MsSince(start), backend.LastErrorCode());
    });
    ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    backend.Close(readHandle);
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    auto [status, elapsed, error] = reader.get();
    EXPECT_EQ(status, HidReadStatus::Error);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ECANCELED));
    EXPECT_LT(elapsed, 3000);
    EXPECT_EQ(threadReport[0], kUntouched);
    EXPECT_EQ(system.OpenDescriptors(), 0u);
}

TEST_F(HidrawIo, HangUpWhileWaitingIsDeviceGone)
{
    auto reader = std::async(std::launch::async,
                             [&] { return backend.Read(readHandle, report, 10000); });
    ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    system.HangUp(kNode);
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(reader.get(), HidReadStatus::DeviceGone);
    EXPECT_TRUE(Untouched());
}

TEST_F(HidrawIo, ReportQueuedBeforeUnplugIsStillRead)
{
    DeviceSends(Counting(64, 5));
    system.HangUp(kNode);
    EXPECT_EQ(backend.Read(readHandle, report, 1000), HidReadStatus::Report);
    EXPECT_EQ(backend.Read(readHandle, report, 1000), HidReadStatus::DeviceGone);
}

TEST_F(HidrawIo, WriteSendsAll65BytesAsGiven)
{
    const HidHandle writeHandle = backend.Open(u"/dev/hidraw4", HidOpenMode::WriteOverlapped);
    ASSERT_NE(writeHandle, kInvalidHidHandle);
    const std::vector<std::uint8_t> out = Joined({0}, Counting(64, 100));
    ASSERT_TRUE(backend.Write(writeHandle, out.data()));
    std::uint8_t received[80];
    const ssize_t n = ::recv(system.DeviceEnd(kNode), received, sizeof received, MSG_DONTWAIT);
    ASSERT_EQ(n, 65);
    EXPECT_EQ(std::vector<std::uint8_t>(received, received + 65), out);
}

TEST_F(HidrawIo, WriteToUnpluggedDeviceFails)
{
    std::signal(SIGPIPE, SIG_IGN);  // sockets signal where hidraw does not
    const HidHandle writeHandle = backend.Open(u"/dev/hidraw4", HidOpenMode::WriteOverlapped);
    system.HangUp(kNode);
    const std::uint8_t out[kHidReportBytes] = {};
    EXPECT_FALSE(backend.Write(writeHandle, out));
    EXPECT_NE(backend.LastErrorCode(), 0u);
}

// A device that never takes its reports: its end of the socket pair is never
// read, so the socket fills and stops polling writable. The write then gives
// up after about kHidWriteTimeoutMs, also when signals keep interrupting its
// poll() (each must not restart the whole wait).
struct StalledWriteCase {
    const char* name;
    bool signalled;  // SIGUSR1 at the writing thread every 20 ms
};

void PrintTo(const StalledWriteCase& c, std::ostream* os) { *os << c.name; }

class HidrawStalledWrite : public HidrawIo, public ::testing::WithParamInterface<StalledWriteCase> {};

void Interrupted(int) {}

// Sends SIGUSR1 to a thread every 20 ms (handled, without SA_RESTART) while
// it lives, for 5 s at most: a wait that restarts after each signal then ends
// late instead of never.
class Interrupter {
public:
    explicit Interrupter(pthread_t target) : m_Target(target)
    {
        struct sigaction action{};
        action.sa_handler = Interrupted;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, &m_Previous);
        m_Thread = std::thread([this] {
            const auto end = Clock::now() + std::chrono::seconds(5);
            while (!m_Stop && Clock::now() < end) {
                pthread_kill(m_Target, SIGUSR1);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~Interrupter()
    {
        m_Stop = true;
        m_Thread.join();
        sigaction(SIGUSR1, &m_Previous, nullptr);
    }

private:
    pthread_t m_Target;
    struct sigaction m_Previous{};
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
};

TEST_P(HidrawStalledWrite, FailsAfterAboutTheWriteTimeout)
{
    const HidHandle writeHandle = backend.Open(u"/dev/hidraw4", HidOpenMode::WriteOverlapped);
    ASSERT_NE(writeHandle, kInvalidHidHandle);
    const int writeDevice = system.DeviceEnd(kNode);
    int written = 0;
    long elapsed = 0;
    {
        std::unique_ptr<Interrupter> interrupter;
        if (GetParam().signalled)
            interrupter = std::make_unique<Interrupter>(pthread_self());
        for (bool ok = true; ok; ++written) {
            ASSERT_LT(written, 100000) << "the socket never filled";
            const std::vector<std::uint8_t> out = Counting(65, static_cast<std::uint8_t>(written));
            const auto start = Clock::now();
            ok = backend.Write(writeHandle, out.data());
            elapsed = MsSince(start);
        }
    }
    --written;  // the last one failed
    EXPECT_GE(elapsed, 900);
    EXPECT_LE(elapsed, 3000);
    EXPECT_EQ(backend.LastErrorCode(), static_cast<std::uint32_t>(ETIMEDOUT));

    // Everything written arrives; the failed report does not; the handle
    // writes again once the device has read.
    std::uint8_t received[80];
    for (int i = 0; i < written; ++i) {
        ASSERT_EQ(::recv(writeDevice, received, sizeof received, MSG_DONTWAIT), 65) << "report " << i;
        EXPECT_EQ(received[0], static_cast<std::uint8_t>(i));
    }
    EXPECT_LT(::recv(writeDevice, received, sizeof received, MSG_DONTWAIT), 0);
    EXPECT_TRUE(backend.Write(writeHandle, Counting(65, 7).data()));
}

INSTANTIATE_TEST_SUITE_P(NeverRead, HidrawStalledWrite,
                         ::testing::Values(StalledWriteCase{"Quiet", false},
                                           StalledWriteCase{"Signalled", true}),
                         [](const ::testing::TestParamInfo<StalledWriteCase>& info) {
                             return info.param.name;
                         });

// The link over the backend: the read drops the report ID, and an unplug
// is remembered as DeviceGone.
TEST_F(HidrawIo, LinkReadsPayloadAndNoticesUnplug)
{
    CHid link(backend);
    link.m_DevicePath = u"/dev/hidraw4";
    ASSERT_EQ(link.OpenHid(), 1);
    const int linkDevice = system.DeviceEnd(kNode);  // the link's read descriptor
    const std::vector<std::uint8_t> payload = Counting(64, 1);
    ASSERT_EQ(::send(linkDevice, payload.data(), payload.size(), MSG_NOSIGNAL), 64);
    std::uint8_t in[64] = {};
    ASSERT_EQ(link.ReadHid(in, 64), kReadOk);
    EXPECT_EQ(std::vector<std::uint8_t>(in, in + 64), payload);
    system.HangUp(kNode);
    EXPECT_EQ(link.ReadHid(in, 64), kReadDeviceGone);
    EXPECT_TRUE(link.DeviceGone());
}

}  // namespace
