#include "platform/linux/hidraw_io.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

constexpr std::size_t kPayloadBytes = kHidReportBytes - 1;

int RemainingMs(IClock& clock, std::uint64_t deadlineMs)
{
    const std::uint64_t now = clock.NowMs();
    if (now >= deadlineMs)
        return 0;
    const std::uint64_t left = deadlineMs - now;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

void Deliver(const std::uint8_t* bytes, std::size_t count, std::uint8_t* report)
{
    if (count >= kHidReportBytes) {
        std::memcpy(report, bytes, kHidReportBytes);
        return;
    }
    std::memset(report, 0, kHidReportBytes);
    std::memcpy(report + 1, bytes, count < kPayloadBytes ? count : kPayloadBytes);
}

enum class Waited { Ready, Cancelled, TimedOut, Failed };

// poll() on fd for `events` and on cancelFd until deadlineMs (on clock). A
// signal does not extend the wait: the time left is taken again after it.
Waited WaitFor(int fd, short events, int cancelFd, IClock& clock, std::uint64_t deadlineMs,
               short& revents, int& error)
{
    pollfd fds[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
    int ready;
    do {
        ready = ::poll(fds, 2, RemainingMs(clock, deadlineMs));
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        error = errno;
        return Waited::Failed;
    }
    if (fds[1].revents != 0) {
        error = ECANCELED;
        return Waited::Cancelled;
    }
    revents = fds[0].revents;
    return ready == 0 ? Waited::TimedOut : Waited::Ready;
}

}  // namespace

bool IsDeviceGoneError(int error) { return error == ENODEV || error == ENXIO || error == EIO; }

HidReadStatus ReadHidrawReport(int fd, int cancelFd, std::uint8_t* report,
                               std::uint32_t timeoutMs, IClock& clock, int& error)
{
    error = 0;
    const std::uint64_t deadline = clock.NowMs() + timeoutMs;
    for (;;) {
        short revents = 0;
        switch (WaitFor(fd, POLLIN, cancelFd, clock, deadline, revents, error)) {
        case Waited::Ready:
            break;
        case Waited::TimedOut:
            return HidReadStatus::Timeout;
        case Waited::Cancelled:
        case Waited::Failed:
            return HidReadStatus::Error;
        }
        if (revents & POLLNVAL) {
            error = EBADF;
            return HidReadStatus::Error;
        }
        if (!(revents & POLLIN)) {  // hang-up or error without data
            error = ENODEV;
            return HidReadStatus::DeviceGone;
        }
        std::uint8_t bytes[kHidReportBytes];
        const ssize_t n = ::read(fd, bytes, sizeof bytes);
        if (n > 0) {
            Deliver(bytes, static_cast<std::size_t>(n), report);
            return HidReadStatus::Report;
        }
        if (n == 0) {
            error = ENODEV;
            return HidReadStatus::DeviceGone;
        }
        if (errno == EAGAIN || errno == EINTR)
            continue;  // another reader took it, or a signal: wait on
        error = errno;
        return IsDeviceGoneError(error) ? HidReadStatus::DeviceGone : HidReadStatus::Error;
    }
}

bool WriteHidrawReport(int fd, int cancelFd, const std::uint8_t* report, std::uint32_t timeoutMs,
                       IClock& clock, int& error)
{
    error = 0;
    const std::uint64_t deadline = clock.NowMs() + timeoutMs;
    for (;;) {
        short revents = 0;
        switch (WaitFor(fd, POLLOUT, cancelFd, clock, deadline, revents, error)) {
        case Waited::Ready:
            break;
        case Waited::TimedOut:
            error = ETIMEDOUT;
            return false;
        case Waited::Cancelled:
        case Waited::Failed:
            return false;
        }
        if (!(revents & POLLOUT)) {
            error = (revents & POLLNVAL) ? EBADF : ENODEV;
            return false;
        }
        const ssize_t n = ::write(fd, report, kHidReportBytes);
        if (n == static_cast<ssize_t>(kHidReportBytes))
            return true;
        if (n >= 0) {
            error = EIO;
            return false;
        }
        if (errno != EAGAIN && errno != EINTR) {
            error = errno;
            return false;
        }
        if (RemainingMs(clock, deadline) == 0) {  // no time left to wait again
            error = ETIMEDOUT;
            return false;
        }
    }
}
