#include "platform/win32/winhttp_fetcher.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/win32/windows_api.h"

#include <winhttp.h>

#include "base/utf.h"
#include "catalogue/package_location.h"

namespace {

constexpr DWORD kHttpOk = 200;
constexpr DWORD kFirstRedirect = 300;
constexpr DWORD kLastRedirect = 399;
constexpr std::size_t kReadChunk = 64 * 1024;

using Clock = std::chrono::steady_clock;

// The handles of one transfer and when a byte last came. Close may come
// from the waiting thread while the worker is blocked in a call on them;
// once closed, no new handle is opened.
class Transfer {
public:
    ~Transfer() { Close(); }

    // Replaces the handles of the previous hop. False once closed.
    bool Set(HINTERNET session, HINTERNET connection, HINTERNET request)
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        CloseLocked();
        m_Session = session;
        m_Connection = connection;
        m_Request = request;
        if (m_Closed)
            CloseLocked();
        return !m_Closed;
    }
    bool Closed() const { return m_Closed; }
    void Close()
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Closed = true;
        CloseLocked();
    }
    void Progress() { m_LastByte = Clock::now().time_since_epoch().count(); }
    Clock::duration Quiet() const { return Clock::now().time_since_epoch() - Clock::duration(m_LastByte.load()); }

private:
    void CloseLocked()
    {
        for (HINTERNET* h : {&m_Request, &m_Connection, &m_Session}) {
            if (*h != nullptr)
                WinHttpCloseHandle(*h);
            *h = nullptr;
        }
    }

    std::mutex m_Mutex;
    std::atomic<bool> m_Closed{false};
    std::atomic<Clock::rep> m_LastByte{Clock::now().time_since_epoch().count()};
    HINTERNET m_Session = nullptr;
    HINTERNET m_Connection = nullptr;
    HINTERNET m_Request = nullptr;
};

FetchResult Failure(FetchProblem problem, DWORD error = 0)
{
    FetchResult result;
    result.problem = problem;
    if (error != 0)
        result.detail = "WinHTTP error " + std::to_string(error);
    return result;
}

FetchResult LastError()
{
    const DWORD error = GetLastError();
    return Failure(error == ERROR_WINHTTP_TIMEOUT ? FetchProblem::TimedOut : FetchProblem::Network, error);
}

std::wstring Wide(const std::string& text)
{
    const std::u16string wide = Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(const std::wstring& text)
{
    return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

DWORD NumberHeader(HINTERNET request, DWORD query, bool& present)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    present = WinHttpQueryHeaders(request, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &value,
                                  &size, WINHTTP_NO_HEADER_INDEX) != FALSE;
    return value;
}

// Where a redirect leads, resolved against the URL that sent it.
std::string RedirectTarget(HINTERNET request, const std::string& from)
{
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
    std::wstring location(size / sizeof(wchar_t) + 1, L'\0');
    if (size == 0 || !WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX,
                                          location.data(), &size, WINHTTP_NO_HEADER_INDEX))
        return {};
    location.resize(size / sizeof(wchar_t));
    const std::string target = Narrow(location);
    if (target.find("://") != std::string::npos || target.empty() || target.front() != '/')
        return target;
    const std::size_t host = from.find("//") + 2;
    return from.substr(0, from.find('/', host)) + target;
}

// One hop: the request sent and its answer's status. nullopt with result
// set when it failed.
std::optional<DWORD> Request(const std::string& url, const FetchLimits& limits, Transfer& transfer,
                             HINTERNET& request, FetchResult& result)
{
    const std::wstring address = Wide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(address.c_str(), 0, 0, &parts)) {
        result = Failure(FetchProblem::BadScheme, GetLastError());
        return std::nullopt;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring path = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                              std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    HINTERNET session = WinHttpOpen(L"controller-updater", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    HINTERNET connection = session ? WinHttpConnect(session, host.c_str(), parts.nPort, 0) : nullptr;
    request = connection ? WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES,
                                              parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                         : nullptr;
    if (!transfer.Set(session, connection, request)) {
        result = Failure(FetchProblem::Stopped);
        return std::nullopt;
    }
    if (request == nullptr) {
        result = LastError();
        return std::nullopt;
    }
    const int connect = static_cast<int>(limits.connectTimeoutMs);
    const int stall = static_cast<int>(limits.stallTimeoutMs);
    WinHttpSetTimeouts(request, connect, connect, stall, stall);
    // Redirects are followed here, where their scheme is checked.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request, nullptr)) {
        result = LastError();
        return std::nullopt;
    }
    transfer.Progress();
    bool present = false;
    return NumberHeader(request, WINHTTP_QUERY_STATUS_CODE, present);
}

FetchResult Run(std::string url, const FetchLimits& limits, Transfer& transfer)
{
    FetchResult result;
    HINTERNET request = nullptr;
    DWORD status = 0;
    for (int hop = 0;; ++hop) {
        if (!IsHttpUrl(url))
            return Failure(FetchProblem::BadScheme);
        const auto answered = Request(url, limits, transfer, request, result);
        if (!answered)
            return result;
        status = *answered;
        if (status < kFirstRedirect || status > kLastRedirect)
            break;
        if (hop == kMaxRedirects)
            return Failure(FetchProblem::Network);
        url = RedirectTarget(request, url);
    }
    result.httpStatus = static_cast<int>(status);
    if (status != kHttpOk) {
        result.problem = FetchProblem::HttpStatus;
        return result;
    }
    bool present = false;
    const DWORD length = NumberHeader(request, WINHTTP_QUERY_CONTENT_LENGTH, present);
    if (present && length > limits.maxBytes)
        return Failure(FetchProblem::TooLarge);
    std::vector<std::uint8_t> chunk(kReadChunk);
    for (;;) {
        // Only what has come is read: a read of a whole chunk may wait for
        // all of it (Wine's does), and a slow but moving download would
        // look stalled.
        DWORD available = 0;
        if (transfer.Closed() || !WinHttpQueryDataAvailable(request, &available))
            return LastError();
        if (available == 0)
            break;
        transfer.Progress();
        DWORD read = 0;
        const DWORD wanted = std::min(available, static_cast<DWORD>(chunk.size()));
        if (transfer.Closed() || !WinHttpReadData(request, chunk.data(), wanted, &read))
            return LastError();
        if (read == 0)
            break;
        transfer.Progress();
        if (result.body.size() + read > limits.maxBytes)
            return Failure(FetchProblem::TooLarge);
        result.body.insert(result.body.end(), chunk.begin(), chunk.begin() + read);
        if (limits.received)
            limits.received(result.body.size());
    }
    return result;
}

}  // namespace

FetchResult WinHttpFetcher::Fetch(const std::string& url, const FetchLimits& limits, const StopSignal& stop)
{
    if (!IsHttpUrl(url))
        return Failure(FetchProblem::BadScheme);
    // Shared with the worker, which may outlive this call: closing a handle
    // does not end a blocked call on every WinHTTP (Wine's), so a stopped
    // or stalled transfer's worker is left to finish on its own.
    struct Shared {
        Transfer transfer;
        FetchResult result;
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
    };
    const auto shared = std::make_shared<Shared>();
    std::thread worker([shared, url, limits] {
        FetchResult r = Run(url, limits, shared->transfer);
        std::lock_guard<std::mutex> guard(shared->mutex);
        shared->result = std::move(r);
        shared->done = true;
        shared->finished.notify_all();
    });
    // The stall limit and the deadline are kept here: a client's own
    // time-outs are not relied on to end every blocked call.
    const auto stall = std::chrono::milliseconds(limits.stallTimeoutMs);
    const auto deadline = Clock::now() + std::chrono::milliseconds(limits.deadlineMs);
    std::unique_lock<std::mutex> lock(shared->mutex);
    while (!shared->done) {
        const bool late = limits.deadlineMs != 0 && Clock::now() > deadline;
        if (stop.Requested() || shared->transfer.Quiet() > stall || late) {
            const FetchProblem ended = stop.Requested() ? FetchProblem::Stopped : FetchProblem::TimedOut;
            lock.unlock();
            shared->transfer.Close();
            worker.detach();
            return late && !stop.Requested() ? PastDeadline(limits) : Failure(ended);
        }
        shared->finished.wait_for(lock, std::chrono::milliseconds(kStopLatencyMs / 2));
    }
    lock.unlock();
    worker.join();
    return std::move(shared->result);
}
