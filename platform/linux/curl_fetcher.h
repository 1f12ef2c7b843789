#pragma once
// IFetcher over libcurl: http and https only, redirects too (see
// catalogue/fetcher.h for the rules and bounds every fetch keeps).
#include "catalogue/fetcher.h"

class CurlFetcher final : public IFetcher {
public:
    CurlFetcher();
    ~CurlFetcher() override;
    CurlFetcher(const CurlFetcher&) = delete;
    CurlFetcher& operator=(const CurlFetcher&) = delete;

    FetchResult Fetch(const std::string& url, const FetchLimits& limits, const StopSignal& stop) override;
};
