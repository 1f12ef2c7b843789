#include "catalogue/fetcher.h"

std::string FetchProblemText(const FetchResult& result)
{
    switch (result.problem) {
    case FetchProblem::None:
        return "fetched";
    case FetchProblem::BadScheme:
        return "only http and https may be fetched, also through a redirect";
    case FetchProblem::HttpStatus:
        return "the server answered " + std::to_string(result.httpStatus);
    case FetchProblem::TooLarge:
        return "the file is larger than allowed";
    case FetchProblem::TimedOut:
        return "the connection stalled (timed out)";
    case FetchProblem::PastDeadline:
        return "the download took longer than " + std::to_string((result.deadlineMs + 999) / 1000) + " s";
    case FetchProblem::Stopped:
        return "stopped";
    case FetchProblem::Network:
        return "the connection failed" + (result.detail.empty() ? std::string() : " (" + result.detail + ")");
    }
    return {};
}
