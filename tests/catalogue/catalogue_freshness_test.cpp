// Catalogue freshness: which catalogues the memory and the floors refuse,
// what is remembered, and the memory's text.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue_freshness.h"

namespace {

constexpr UtcSeconds kDay = kSecondsPerDay;
const UtcSeconds kPublished = *ParseUtcTime("2026-12-01T00:00:00Z");
const UtcSeconds kExpires = kPublished + 90 * kDay;
constexpr UtcSeconds k1970 = 0;
const UtcSeconds k2000 = *ParseUtcTime("2000-01-01T00:00:00Z");
const Sha256Digest kBytes{1};
const Sha256Digest kOtherBytes{2};

Catalogue Pads(std::uint64_t version)
{
    Catalogue c;
    c.repository = "pads";
    c.version = version;
    c.published = kPublished;
    c.expires = kExpires;
    return c;
}

FreshnessState Remembering(std::uint64_t version, Sha256Digest sha256 = kBytes, UtcSeconds latestSigned = kPublished,
                           std::string repository = "pads")
{
    FreshnessState state;
    state.repositories[repository] = {version, 0, sha256, latestSigned};
    return state;
}

TEST(CatalogueFreshness, JudgesByMemoryFloorsAndTime)
{
    const VersionFloor padsFloor[] = {{"pads", 6}};
    struct Case {
        const char* name;
        FreshnessState state = {};
        std::uint64_t version = 5;
        Sha256Digest sha256 = kBytes;
        UtcSeconds clock = kPublished + kDay;
        UtcSeconds buildTime = kPublished - 30 * kDay;
        std::span<const VersionFloor> floors = {};
        FreshnessRequest request = {};  // clock set from the case
        FreshnessProblem problem = FreshnessProblem::None;
        std::uint64_t knownVersion = 0;
        bool expiresSoon = false;
        bool changed = false;
    } cases[] = {
        {.name = "first run", .changed = true},
        {.name = "newer than seen", .state = Remembering(4), .changed = true},
        {.name = "older than seen", .state = Remembering(6), .problem = FreshnessProblem::Older, .knownVersion = 6},
        {.name = "same version, other bytes", .state = Remembering(5, kOtherBytes),
         .problem = FreshnessProblem::OtherBytes, .knownVersion = 5},
        {.name = "same bytes again", .state = Remembering(5)},
        {.name = "expired by the clock", .clock = kExpires + kDay + 1, .problem = FreshnessProblem::Expired},
        {.name = "within a day's slack", .clock = kExpires + kDay, .expiresSoon = true, .changed = true},
        {.name = "clock at 1970, state signed later", .state = Remembering(4, kBytes, kExpires + 2 * kDay, "other"),
         .clock = k1970, .buildTime = 0, .problem = FreshnessProblem::Expired},
        {.name = "clock at 2000, state signed later", .state = Remembering(4, kBytes, kExpires + 2 * kDay),
         .clock = k2000, .buildTime = 0, .problem = FreshnessProblem::Expired},
        {.name = "first run, clock at 1970, build later", .clock = k1970, .buildTime = kExpires + 2 * kDay,
         .problem = FreshnessProblem::Expired},
        {.name = "first run, below the build's floor", .floors = padsFloor, .problem = FreshnessProblem::Older,
         .knownVersion = 6},
        {.name = "state below the build's floor", .state = Remembering(3), .floors = padsFloor,
         .problem = FreshnessProblem::Older, .knownVersion = 6},
        {.name = "13 days left", .clock = kExpires - 13 * kDay, .expiresSoon = true, .changed = true},
        {.name = "14 days left", .clock = kExpires - 14 * kDay, .changed = true},
        {.name = "expired, offline, local file", .clock = kExpires + 9 * kDay, .request = {0, true, true},
         .changed = true},
        {.name = "expired, offline, URL", .clock = kExpires + 9 * kDay, .request = {0, true, false},
         .problem = FreshnessProblem::Expired},
        {.name = "offline keeps the memory", .state = Remembering(6), .clock = kExpires + 9 * kDay,
         .request = {0, true, true}, .problem = FreshnessProblem::Older, .knownVersion = 6},
    };
    for (const Case& c : cases) {
        FreshnessRequest request = c.request;
        request.clock = c.clock;
        const FreshnessVerdict v =
            JudgeFreshness(Pads(c.version), c.sha256, c.state, {c.buildTime, c.floors}, request);
        EXPECT_EQ(v.problem, c.problem) << c.name;
        EXPECT_EQ(v.knownVersion, c.knownVersion) << c.name;
        EXPECT_EQ(v.changed, c.changed) << c.name;
        EXPECT_EQ(v.expiresSoon, c.expiresSoon) << c.name;
        EXPECT_EQ(v.expiredOffline, c.problem == FreshnessProblem::None && c.clock > kExpires + kDay) << c.name;
        if (!c.changed) {
            EXPECT_EQ(v.next, c.state) << c.name;
            continue;
        }
        const auto pads = v.next.repositories.find("pads");
        if (pads == v.next.repositories.end()) {
            ADD_FAILURE() << c.name << ": not remembered";
            continue;
        }
        EXPECT_EQ(pads->second.version, c.version) << c.name;
        EXPECT_EQ(pads->second.sha256, c.sha256) << c.name;
        EXPECT_EQ(pads->second.latestSigned, kPublished) << c.name;
    }
}

TEST(CatalogueFreshness, RefusalsNameBothNumbersAndBothTimes)
{
    const FreshnessState state = Remembering(6, kBytes, kPublished + kDay);
    const FreshnessVerdict older = JudgeFreshness(Pads(5), kBytes, state, {}, {kPublished});
    EXPECT_EQ(FreshnessRefusalText(Pads(5), older),
              "the catalogue of \"pads\" (version 5) is older than the catalogue already seen (version 6)");
    const FreshnessVerdict expired = JudgeFreshness(Pads(7), kBytes, state, {}, {kExpires + 2 * kDay});
    EXPECT_NE(FreshnessRefusalText(Pads(7), expired).find("expired 2027-03-01T00:00:00Z; the time is at least "
                                                          "2027-03-03T00:00:00Z (the clock says 2027-03-03T00:00:00Z, "
                                                          "the latest signed time seen is 2026-12-02T00:00:00Z"),
              std::string::npos);
}

TEST(CatalogueFreshness, KeySetsOnlyMoveForwardAndARevocationStartsTheSeriesAgain)
{
    const struct {
        std::uint64_t keySet;
        bool revoked, followed;
        std::uint64_t version, keySetAfter;
    } rows[] = {
        {3, true, true, 0, 3},   // past a revocation: the series starts over
        {3, false, true, 9, 3},  // new keys, nothing revoked: the memory stays
        {2, true, true, 9, 2},   // the key set already seen
        {1, false, false, 9, 2}, // a key set hidden: refused, untouched
    };
    for (const auto& row : rows) {
        FreshnessState state = Remembering(9, kBytes, kPublished + kDay);
        state.repositories.at("pads").keySetVersion = 2;
        const FreshnessState before = state;
        EXPECT_EQ(FollowKeySet(state, "pads", row.keySet, row.revoked), row.followed) << row.keySet;
        EXPECT_EQ(state.repositories.at("pads").version, row.version) << row.keySet;
        EXPECT_EQ(state.repositories.at("pads").keySetVersion, row.keySetAfter) << row.keySet;
        EXPECT_EQ(state.repositories.at("pads").latestSigned, kPublished + kDay);
        if (!row.followed) {
            EXPECT_EQ(state, before);
        }
    }
    FreshnessState reset = Remembering(9, kBytes, kPublished + kDay);
    FollowKeySet(reset, "pads", 1, true);
    EXPECT_TRUE(JudgeFreshness(Pads(1), kBytes, reset, {}, {kPublished}).Accepted());
}

TEST(CatalogueFreshness, MemoryStaysBounded)
{
    FreshnessState state;
    for (std::size_t i = 0; i < kMaxRememberedRepositories; ++i)
        state.repositories["r" + std::to_string(i)] = {1, 0, kBytes, kPublished + static_cast<UtcSeconds>(i)};
    const FreshnessVerdict v = JudgeFreshness(Pads(1), kBytes, state, {}, {kPublished});
    EXPECT_EQ(v.next.repositories.size(), kMaxRememberedRepositories);
    EXPECT_FALSE(v.next.repositories.contains("r0"));  // signed longest ago
    EXPECT_TRUE(v.next.repositories.contains("pads"));
    Catalogue longName = Pads(1);
    longName.repository.assign(kMaxRepositoryNameBytes + 1, 'x');
    EXPECT_EQ(JudgeFreshness(longName, kBytes, {}, {}, {kPublished}).problem, FreshnessProblem::LongRepositoryName);
}

TEST(FreshnessState, ReadsBackWhatItWritesAndNothingElse)
{
    FreshnessState state = Remembering(7, kOtherBytes, kPublished);
    state.repositories["other"] = {3, 2, kBytes, kExpires};
    const std::string text = FreshnessStateJson(state);
    EXPECT_EQ(ParseFreshnessState(text), state);
    const std::string hex(64, 'a');
    const auto Doc = [&](const std::string& repository) {
        return R"({"format":1,"type":"catalogue-state","repositories":{"pads":)" + repository + "}}";
    };
    const std::string good = R"({"version":7,"keySetVersion":0,"sha256":")" + hex +
                             R"(","latestSigned":"2026-12-01T00:00:00Z"})";
    ASSERT_TRUE(ParseFreshnessState(Doc(good)));
    std::string many = R"({"format":1,"type":"catalogue-state","repositories":{)";
    for (std::size_t i = 0; i <= kMaxRememberedRepositories; ++i)
        many += (i ? ",\"r" : "\"r") + std::to_string(i) + "\":" + good;
    many += "}}";
    const struct {
        const char* name;
        std::string text;
    } bad[] = {
        {"garbage", "\x01not json"},
        {"empty", ""},
        {"cut short", text.substr(0, text.size() / 2)},
        {"other format", R"({"format":2,"type":"catalogue-state","repositories":{}})"},
        {"other type", R"({"format":1,"type":"catalogue","repositories":{}})"},
        {"negative version", Doc(R"({"version":-7,"keySetVersion":0,"sha256":")" + hex +
                                 R"(","latestSigned":"2026-12-01T00:00:00Z"})")},
        {"short digest", Doc(R"({"version":7,"keySetVersion":0,"sha256":"aa","latestSigned":"2026-12-01T00:00:00Z"})")},
        {"bad time", Doc(R"({"version":7,"keySetVersion":0,"sha256":")" + hex + R"(","latestSigned":"yesterday"})")},
        {"field missing", Doc(R"({"version":7,"sha256":")" + hex + R"(","latestSigned":"2026-12-01T00:00:00Z"})")},
        {"too deep", R"({"format":1,"type":"catalogue-state","repositories":{},"later":)" +
                         std::string(10000, '[') + std::string(10000, ']') + "}"},
        {"too large", text + std::string(kMaxFreshnessStateBytes, ' ')},
        {"too many repositories", many},
    };
    for (const auto& c : bad)
        EXPECT_FALSE(ParseFreshnessState(c.text)) << c.name;
}

}  // namespace
