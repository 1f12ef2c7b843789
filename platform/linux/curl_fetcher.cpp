#include "platform/linux/curl_fetcher.h"

#include <chrono>
#include <memory>

#include <curl/curl.h>

#include "catalogue/package_location.h"

namespace {

constexpr const char* kSchemes = "http,https";
constexpr long kHttpOk = 200;

using Clock = std::chrono::steady_clock;

struct Transfer {
    std::vector<std::uint8_t>* body;
    std::size_t maxBytes;
    const std::function<void(std::size_t)>* received;
    bool tooLarge = false;
    Clock::time_point lastByte = Clock::now();
};

std::size_t Received(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    t->lastByte = Clock::now();
    if (t->body->size() + n > t->maxBytes) {
        t->tooLarge = true;
        return 0;  // ends the transfer with CURLE_WRITE_ERROR
    }
    t->body->insert(t->body->end(), data, data + n);
    if (*t->received)
        (*t->received)(t->body->size());
    return n;
}

// Headers are bytes too: a server that sends them slowly is not stalled.
std::size_t HeaderReceived(char*, std::size_t size, std::size_t count, void* user)
{
    static_cast<Transfer*>(user)->lastByte = Clock::now();
    return size * count;
}

FetchProblem Translate(CURLcode code, const Transfer& t)
{
    switch (code) {
    case CURLE_OK:
        return FetchProblem::None;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return FetchProblem::BadScheme;
    case CURLE_FILESIZE_EXCEEDED:
        return FetchProblem::TooLarge;
    case CURLE_WRITE_ERROR:
        return t.tooLarge ? FetchProblem::TooLarge : FetchProblem::Network;
    case CURLE_OPERATION_TIMEDOUT:
        return FetchProblem::TimedOut;
    default:
        return FetchProblem::Network;
    }
}

struct EasyFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MultiFree {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};

}  // namespace

CurlFetcher::CurlFetcher()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlFetcher::~CurlFetcher()
{
    curl_global_cleanup();
}

FetchResult CurlFetcher::Fetch(const std::string& url, const FetchLimits& limits, const StopSignal& stop)
{
    FetchResult result;
    if (!IsHttpUrl(url)) {
        result.problem = FetchProblem::BadScheme;
        return result;
    }
    const std::unique_ptr<CURL, EasyFree> easy(curl_easy_init());
    const std::unique_ptr<CURLM, MultiFree> multi(curl_multi_init());
    if (!easy || !multi) {
        result.problem = FetchProblem::Network;
        return result;
    }
    Transfer transfer{&result.body, limits.maxBytes, &limits.received};
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, kSchemes);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, kSchemes);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeoutMs));
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, Received);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, HeaderReceived);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &transfer);
    curl_multi_add_handle(multi.get(), e);

    const auto stall = std::chrono::milliseconds(limits.stallTimeoutMs);
    const auto deadline = Clock::now() + std::chrono::milliseconds(limits.deadlineMs);
    CURLcode code = CURLE_OK;
    for (int running = 1; running;) {
        curl_multi_perform(multi.get(), &running);
        if (!running)
            break;
        if (stop.Requested()) {
            result.problem = FetchProblem::Stopped;
            break;
        }
        if (Clock::now() - transfer.lastByte > stall) {
            result.problem = FetchProblem::TimedOut;
            break;
        }
        if (limits.deadlineMs != 0 && Clock::now() > deadline) {
            result = PastDeadline(limits);
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(kStopLatencyMs / 2), nullptr);
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued))
        if (message->msg == CURLMSG_DONE)
            code = message->data.result;
    curl_multi_remove_handle(multi.get(), e);
    if (result.problem != FetchProblem::None) {
        result.body.clear();
        return result;
    }
    result.problem = Translate(code, transfer);
    result.detail = curl_easy_strerror(code);
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    result.httpStatus = static_cast<int>(status);
    if (result.problem == FetchProblem::None && status != kHttpOk)
        result.problem = FetchProblem::HttpStatus;
    if (result.problem != FetchProblem::None)
        result.body.clear();
    return result;
}
