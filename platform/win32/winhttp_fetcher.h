#pragma once
// IFetcher over WinHTTP, the system's own client: http and https only,
// redirects too (see catalogue/fetcher.h for the rules and bounds). The
// transfer runs on a worker thread so that a stop or a stall returns at
// once: its handles are closed and the worker finishes on its own.
#include "catalogue/fetcher.h"

class WinHttpFetcher final : public IFetcher {
public:
    FetchResult Fetch(const std::string& url, const FetchLimits& limits, const StopSignal& stop) override;
};
