// The attack vectors (make_vectors.sh's folder, given as
// UPDATER_VECTORS_DIR) judged by the core's own steps, as every front end
// takes them: signature or key chain, format, freshness, package choice,
// binding, location and the downloaded bytes. Vectors whose verdict comes
// from the transport (a server that stalls, redirects or sends more than
// it should) or from choosing among mirrors are the front ends' own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "catalogue/catalogue_freshness.h"
#include "catalogue/catalogue_trust.h"
#include "catalogue/key_chain.h"
#include "catalogue/package_check.h"
#include "catalogue/package_choice.h"
#include "catalogue/package_location.h"
#include "package/package_writer.h"
#include "platform/gcrypt/gcrypt_verifier.h"
#include "protocols/package_inspection.h"

namespace {

namespace fs = std::filesystem;

struct Vector {
    std::string name, catalogue, mirror, keys, state, clock, controller, options, verdict;
};

std::optional<std::string> Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::span<const std::uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::vector<Vector> ReadTable(const fs::path& file)
{
    std::vector<Vector> table;
    std::istringstream lines(Read(file).value_or(""));
    std::string line;
    std::getline(lines, line);  // the column names
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');)
            cells.push_back(cell);
        if (cells.size() >= 9)
            table.push_back({cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], cells[6], cells[7], cells[8]});
    }
    return table;
}

class FolderChain final : public IKeyChainSource {
public:
    explicit FolderChain(fs::path keys) : keys_(std::move(keys)) {}
    LinkFetch Fetch(std::uint64_t version, KeyChainLink& link) override
    {
        const fs::path file = keys_ / KeySetFileName(version);
        auto text = Read(file);
        if (!text)
            return LinkFetch::Missing;
        link = {*text, Read(file.string() + ".sig")};
        return LinkFetch::Found;
    }

private:
    fs::path keys_;
};

std::string KeysCode(KeyChainProblem problem)
{
    switch (problem) {
    case KeyChainProblem::OldRootsShort: return "keys-old-roots-short";
    case KeyChainProblem::NewRootsShort: return "keys-new-roots-short";
    case KeyChainProblem::CatalogueShort: return "keys-catalogue-short";
    case KeyChainProblem::RevokedKey: return "keys-revoked";
    case KeyChainProblem::BadKeySet: return "keys-bad-key-set";
    case KeyChainProblem::Expired: return "keys-expired";
    default: return "keys-refused";
    }
}

std::string TrustCode(CatalogueTrust trust)
{
    switch (trust) {
    case CatalogueTrust::BadSignature: return "catalogue-bad-signature";
    case CatalogueTrust::NoSignature: return "catalogue-not-signed";
    case CatalogueTrust::UntrustedKey: return "catalogue-untrusted-key";
    default: return "catalogue-untrusted";
    }
}

class VectorJudge {
public:
    explicit VectorJudge(fs::path out) : out_(std::move(out)), port_(Read(out_ / "port").value_or("")) {}

    // The verdict code of v, or "" when the transport decides it.
    std::string Judge(const Vector& v) const
    {
        if (v.mirror != "-" || v.verdict.ends_with("-unreachable"))
            return "";
        const std::string location = Location(v.catalogue);
        const auto text = Read(Local(location));
        if (!text)
            return "";
        if (text->size() > kMaxCatalogueBytes)
            return "catalogue-too-large";
        const auto signature = Read(Local(location) + ".sig");
        const UtcSeconds now = v.clock == "-" ? std::time(nullptr) : ParseUtcTime(v.clock).value_or(0);
        FreshnessState state;
        if (v.state != "-")
            state = ParseFreshnessState(Read(out_ / v.state).value_or("")).value_or(FreshnessState{});
        std::optional<KeyChainWalk> walk;
        if (v.keys == "a") {
            const std::vector<SignifyPublicKey> trusted{Key("a")};
            const TrustVerdict trust =
                CheckCatalogueSignature(Bytes(*text), signature, trusted, crypto_, UnsignedCatalogues::Refuse);
            if (!trust.Accepted())
                return TrustCode(trust.trust);
        } else {
            KeySet roots;
            roots.root = v.keys == "root1" ? KeyRole{{Key("r1")}, 1} : KeyRole{{Key("r1"), Key("r2"), Key("r3")}, 2};
            FolderChain source(fs::path(Local(location)).parent_path() / "keys");
            walk = WalkKeyChain(KeyChainStart(state, KeyChainAnchor(roots), roots), source, now, crypto_);
            const KeyChainVerdict keys = CheckCatalogueKeys(Bytes(*text), signature, *walk, crypto_);
            if (keys.problem != KeyChainProblem::None)
                return KeysCode(keys.problem);
        }
        CatalogueParse parse = ParseCatalogue(*text);
        if (parse.problem == CatalogueProblem::UnknownFormat)
            return "catalogue-format";
        if (parse.problem == CatalogueProblem::WrongType)
            return "catalogue-wrong-type";
        if (parse.problem != CatalogueProblem::None)
            return parse.problem == CatalogueProblem::BadEntry ? "catalogue-bad-entry" : "catalogue-malformed";
        const Catalogue& catalogue = *parse.catalogue;

        if (walk && !FollowKeySet(state, catalogue.repository, walk->final.version, !walk->revoked.empty()))
            return "catalogue-older";
        const FreshnessRequest request{now, false, !IsHttpUrl(location)};
        const FreshnessVerdict fresh =
            JudgeFreshness(catalogue, crypto_.Sha256(Bytes(*text)), state, BuiltInFreshnessFloors(), request);
        if (fresh.problem == FreshnessProblem::Older)
            return "catalogue-older";
        if (fresh.problem == FreshnessProblem::OtherBytes)
            return "catalogue-other-bytes";
        if (fresh.problem != FreshnessProblem::None)
            return "catalogue-expired";
        return JudgePackage(v, location, catalogue);
    }

private:
    std::string JudgePackage(const Vector& v, const std::string& location, const Catalogue& catalogue) const
    {
        const ControllerFacts facts = Facts(v.controller);
        std::optional<FittingPackage> chosen;
        if (v.options.starts_with("--version ")) {
            chosen = PackageNamed(FittingPackages(catalogue, facts, false, BelowFloor::Kept), v.options.substr(10));
            if (chosen && BelowSecurityFloor(chosen->record, SecurityFloorFor(catalogue, facts)))
                return "package-below-floor";
        } else if (const auto fitting = FittingPackages(catalogue, facts, false); !fitting.empty()) {
            chosen = fitting.front();
        }
        if (!chosen)
            return "package-none";
        const CatalogueEntry& entry = *chosen->entry;
        // Once the update has begun, the stream controller tells its model (the simulator's: 0).
        if (!BindingCovers(entry.binding, {facts.protocolVariant, facts.usb, facts.device, true}))
            return "package-other-controller";
        const auto at = ResolvePackageLocation(location, entry.file);
        if (!at)
            return "package-location";
        const auto bytes = Read(Local(*at));
        if (!bytes)
            return "";
        const fs::path saved = fs::path(::testing::TempDir()) / ("vector-" + v.name + ".dat");
        if (!WriteBytesToFile(saved.u16string(), Bytes(*bytes)))
            return "cannot-save";
        bool opened = false;
        const auto records = InspectPackage(saved.u16string(), opened);
        fs::remove(saved);
        switch (CheckDownloadedPackage(Bytes(*bytes), records, entry, crypto_)) {
        case PackageMismatch::None: return "accepted";
        case PackageMismatch::Size: return "package-size";
        case PackageMismatch::Hash: return "package-hash";
        case PackageMismatch::Records: return "package-records";
        case PackageMismatch::Broken: return "package-broken";
        }
        return "";
    }

    static ControllerFacts Facts(const std::string& controller)
    {
        ControllerFacts facts;
        facts.device.cur_devVersion = 137;  // the simulators run 1.37
        if (controller == "block") {
            facts.protocolVariant = kProtocolBlock;
            facts.usb = {0x5A3C, 0x4C21};
            facts.device.currentDeviceType = 0x5111;
        } else {
            facts.protocolVariant = kProtocolStream;
            facts.usb = {0x0483, 0x5750};
        }
        return facts;
    }

    // A table location with the local server's address.
    std::string Location(const std::string& cell) const
    {
        std::string at = cell;
        if (at.starts_with("@URL@"))
            at = "http://127.0.0.1:" + port_ + at.substr(5);
        else if (at.starts_with("@SITE@"))
            at = (out_ / "site").string() + at.substr(6);
        return at;
    }

    // The file the local server serves for location (under either host name).
    std::string Local(const std::string& location) const
    {
        for (const std::string host : {"http://127.0.0.1:", "http://localhost:"}) {
            const std::string prefix = host + port_ + "/";
            if (location.starts_with(prefix))
                return (out_ / "site" / location.substr(prefix.size())).string();
        }
        return location;
    }

    SignifyPublicKey Key(const std::string& name) const
    {
        return ParseSignifyPublicKey(Read(out_ / (name + ".pub")).value_or("")).value_or(SignifyPublicKey{});
    }

    fs::path out_;
    std::string port_;
    GcryptVerifier crypto_;
};

TEST(AttackVectors, EachVectorGetsItsVerdictFromTheCore)
{
    const char* dir = std::getenv("UPDATER_VECTORS_DIR");
    ASSERT_NE(dir, nullptr) << "UPDATER_VECTORS_DIR names make_vectors.sh's folder";
    const std::vector<Vector> table = ReadTable(fs::path(dir) / "vectors.tsv");
    ASSERT_GT(table.size(), 40u);
    const VectorJudge judge{fs::path(dir)};
    std::size_t judged = 0;
    for (const Vector& v : table) {
        const std::string verdict = judge.Judge(v);
        if (verdict.empty())
            continue;
        ++judged;
        EXPECT_EQ(verdict, v.verdict) << v.name;
    }
    EXPECT_GT(judged, table.size() * 3 / 4);
}

}  // namespace
