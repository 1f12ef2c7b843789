// The catalogue's entry points for the page (site/catalogue.js). Bytes come
// as the module's files (module_files.h), names and hex go out as UTF-8 the
// page frees; the page knows each verdict by its name, never by position.
#include <optional>
#include <string>

#include <emscripten.h>

#include "base/utf.h"
#include "catalogue/fetcher.h"
#include "catalogue/key_chain.h"
#include "catalogue/signature_set.h"
#include "text/firmware_version.h"
#include "platform/web/inspect_json.h"
#include "platform/web/module_files.h"
#include "platform/web/page_string.h"
#include "platform/web/web_app.h"
#include "platform/web/web_catalogue.h"
#include "demo_key.h"

#if !defined(UPDATER_ALLOW_UNSIGNED_CATALOGUE)
#error "UPDATER_ALLOW_UNSIGNED_CATALOGUE comes from the build"
#endif

namespace {

// The build's choice (UPDATER_ALLOW_UNSIGNED_CATALOGUE), as --allow-unsigned is a run's.
constexpr UnsignedCatalogues kUnsignedCatalogues =
    UPDATER_ALLOW_UNSIGNED_CATALOGUE ? UnsignedCatalogues::Allow : UnsignedCatalogues::Refuse;

// A file's text; nullopt for no path (""), or a file that is not there.
std::optional<std::string> ReadText(const char* path)
{
    if (!path || !*path)
        return std::nullopt;
    return ReadModuleFile(path);
}

template <std::size_t N>
std::string Hex(const std::array<std::uint8_t, N>& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

const char* TrustName(CatalogueTrust trust)
{
    switch (trust) {
    case CatalogueTrust::Signed: return "signed";
    case CatalogueTrust::Unsigned: return "unsigned";
    case CatalogueTrust::NoTrustedKey: return "no-trusted-key";
    case CatalogueTrust::NoSignature: return "no-signature";
    case CatalogueTrust::BadSignatureFile: return "bad-signature-file";
    case CatalogueTrust::UntrustedKey: return "untrusted-key";
    case CatalogueTrust::BadSignature: return "bad-signature";
    }
    return "";
}

const char* ProblemName(CatalogueProblem problem)
{
    switch (problem) {
    case CatalogueProblem::None: return "";
    case CatalogueProblem::TooLarge: return "too-large";
    case CatalogueProblem::TooDeep:
    case CatalogueProblem::Malformed: return "malformed";
    case CatalogueProblem::UnknownFormat: return "unknown-format";
    case CatalogueProblem::WrongType: return "wrong-type";
    case CatalogueProblem::BadHeader: return "bad-header";
    case CatalogueProblem::TooManyEntries: return "too-many-entries";
    case CatalogueProblem::BadEntry: return "bad-entry";
    case CatalogueProblem::BadFloor: return "bad-floor";
    }
    return "";
}

const char* MismatchName(PackageMismatch mismatch)
{
    switch (mismatch) {
    case PackageMismatch::None: return "";
    case PackageMismatch::Size: return "size";
    case PackageMismatch::Hash: return "hash";
    case PackageMismatch::Records: return "records";
    case PackageMismatch::Broken: return "broken";
    }
    return "broken";
}

// The freshness refusal's name, for the page's log; its words come from the core.
const char* FreshnessName(FreshnessProblem problem)
{
    switch (problem) {
    case FreshnessProblem::None: return "";
    case FreshnessProblem::LongRepositoryName: return "long-repository-name";
    case FreshnessProblem::Older: return "older";
    case FreshnessProblem::OtherBytes: return "replaced";
    case FreshnessProblem::Expired: return "expired";
    }
    return "refused";
}

const char* Bool(bool value)
{
    return value ? "true" : "false";
}

std::string PackageJson(const WebCatalogue& catalogue, const FittingPackage& p, const DeviceDescription& device)
{
    const CatalogueEntry& e = *p.entry;
    return "{\"index\":" + std::to_string(catalogue.IndexOf(p)) +
           ",\"release\":" + JsonQuoted(ReleaseText(p.record.desVersion)) +
           ",\"beta\":" + std::to_string(FirmwareVersionWord(p.record.desVersion).Beta()) +
           ",\"revision\":" + std::to_string(RevisionNumber(p.record.revision)) +
           ",\"channel\":" + JsonQuoted(ChannelName(e.channel)) + ",\"date\":" + JsonQuoted(e.date) +
           ",\"notes\":{\"en\":" + JsonQuoted(e.notesEn) + ",\"zh\":" + JsonQuoted(e.notesZh) +
           "},\"file\":" + JsonQuoted(e.file) + ",\"size\":" + std::to_string(e.size) +
           ",\"newer\":" + Bool(UpdateAvailable(device, p)) + "}";
}

}  // namespace

extern "C" {

// The largest catalogue the core reads: the page stops fetching beyond it.
EMSCRIPTEN_KEEPALIVE std::uint32_t web_catalogue_largest() { return kMaxCatalogueBytes; }

// How long a download may go without a byte, as the native fetchers allow.
EMSCRIPTEN_KEEPALIVE std::uint32_t web_fetch_stall_ms() { return kDefaultStallTimeoutMs; }

// How long in all a download of at most maxBytes may take, as the native
// fetchers allow.
EMSCRIPTEN_KEEPALIVE std::uint32_t web_fetch_deadline_ms(std::uint32_t maxBytes, std::uint32_t stallMs)
{
    return FetchDeadlineMs(maxBytes, stallMs);
}

// The build's trusted keys (UPDATER_TRUSTED_KEYS) or root keys
// (UPDATER_ROOT_KEYS), for a real controller too. The demo mode trusts the
// build's demo key alone, which signs the demo catalogue without a chain.
EMSCRIPTEN_KEEPALIVE WebCatalogue* web_catalogue_create(int demo)
{
    if (!demo)
        return new WebCatalogue(BuiltInTrustedKeys(), BuiltInRootKeySet(), kUnsignedCatalogues);
    std::vector<SignifyPublicKey> trusted = BuiltInTrustedKeys();
    if (const auto key = ParseSignifyPublicKey(kDemoKeyFile))
        trusted.push_back(*key);
    return new WebCatalogue(std::move(trusted), KeySet{}, kUnsignedCatalogues);
}

// How many key sets the page fetches beside the catalogue, at most: 0
// without root keys; one more than a walk takes tells a longer chain.
EMSCRIPTEN_KEEPALIVE std::uint32_t web_catalogue_key_sets(WebCatalogue* catalogue)
{
    return catalogue->Chained() ? kMaxKeyChainSteps + 1 : 0;
}

// The largest key set and .sig the core reads.
EMSCRIPTEN_KEEPALIVE std::uint32_t web_key_set_largest() { return kMaxKeySetBytes; }
EMSCRIPTEN_KEEPALIVE std::uint32_t web_signature_largest() { return kMaxSignatureFileBytes; }

// A load begins: the catalogue at path and its .sig at signaturePath ("":
// none), kept with the key sets added next until the following load.
EMSCRIPTEN_KEEPALIVE void web_catalogue_begin(WebCatalogue* catalogue, const char* path, const char* signaturePath)
{
    catalogue->Begin(ReadText(path).value_or(""), ReadText(signaturePath));
}

// How the page fetched a key set (site/catalogue.js names them alike).
enum WebKeySetFetch { kKeySetFound = 0, kKeySetFailed = 1, kKeySetTooLarge = 2 };

// The next key set: its text at path and its .sig at signaturePath (""
// when none was served; an empty file when it was too large).
EMSCRIPTEN_KEEPALIVE void web_catalogue_add_key_set(WebCatalogue* catalogue, int fetch, const char* path,
                                                    const char* signaturePath)
{
    KeyChainLink link;
    link.signature = ReadText(signaturePath);
    if (fetch == kKeySetTooLarge)
        link.keys.assign(kMaxKeySetBytes + 1, ' ');  // refused by the parser as too large
    else
        link.keys = ReadText(path).value_or("");
    catalogue->AddKeySet(fetch == kKeySetFailed ? LinkFetch::Failed : LinkFetch::Found, std::move(link));
}

// WebCrypto's verdicts on the last open's questions, in order: '1' verified.
EMSCRIPTEN_KEEPALIVE void web_catalogue_answer(WebCatalogue* catalogue, const char* verdicts)
{
    const std::string text = verdicts ? verdicts : "";
    std::vector<bool> verified;
    for (const char c : text)
        verified.push_back(c == '1');
    catalogue->Answer(verified);
}

// {"questions": [{"key": hex, "signature": hex, "at": address, "length":
// bytes}]} while signatures wait for WebCrypto (verify each over those
// bytes of the module's memory, answer, open again); else {"accepted":
// bool, "trust": name, "problem": name or "", "freshness": name or "",
// "refusal": words or "", "stateUnusable": bool, "state": the state to
// remember or "" when it is unchanged, "expiresSoon": bool, "expires": UTC
// time, "daysLeft": number, "keySet": the key set's version, 0 without a
// chain}. statePath: the remembered state's text, "" for none; sha256Hex:
// the page's digest of the catalogue's bytes; clockMs: the page's clock.
EMSCRIPTEN_KEEPALIVE char* web_catalogue_open(WebCatalogue* catalogue, const char* statePath, const char* sha256Hex,
                                              double clockMs)
{
    WebCatalogue::Memory memory;
    // Without WebCrypto (an insecure context) there is no digest: nothing
    // signed gets this far then, and no package could be checked either.
    memory.sha256 = ParseSha256Hex(sha256Hex ? sha256Hex : "").value_or(Sha256Digest{});
    memory.state = ReadText(statePath);
    memory.clock = static_cast<UtcSeconds>(clockMs / 1000);
    const WebCatalogue::Opened opened = catalogue->Open(memory);
    if (!opened.questions.empty()) {
        std::string questions;
        for (const WebCatalogue::Question& q : opened.questions)
            questions += std::string(questions.empty() ? "" : ",") + "{\"key\":" + JsonQuoted(Hex(q.key)) +
                         ",\"signature\":" + JsonQuoted(Hex(q.signature)) +
                         ",\"at\":" + std::to_string(reinterpret_cast<std::uintptr_t>(q.message.data())) +
                         ",\"length\":" + std::to_string(q.message.size()) + "}";
        return PageString("{\"questions\":[" + questions + "]}");
    }
    const FreshnessVerdict& verdict = opened.freshness;
    const bool store = opened.Accepted() && verdict.changed;
    const std::uint64_t keySet = opened.chained ? opened.keyChain.version : 0;
    return PageString(std::string("{\"accepted\":") + Bool(opened.Accepted()) +
                      ",\"trust\":" + JsonQuoted(TrustName(opened.trust.trust)) +
                      ",\"problem\":" + JsonQuoted(ProblemName(opened.problem)) +
                      ",\"freshness\":" + JsonQuoted(FreshnessName(verdict.problem)) +
                      ",\"refusal\":" + JsonQuoted(opened.refusal) +
                      ",\"stateUnusable\":" + Bool(opened.stateUnusable) +
                      ",\"state\":" + JsonQuoted(store ? FreshnessStateJson(verdict.next) : "") +
                      ",\"expiresSoon\":" + Bool(verdict.expiresSoon) +
                      ",\"expires\":" + JsonQuoted(opened.judged ? UtcTimeText(opened.expires) : "") +
                      ",\"daysLeft\":" + std::to_string(DaysLeft(opened.expires, verdict.effectiveTime)) +
                      ",\"keySet\":" + std::to_string(keySet) + "}");
}

// {"packages": [...]} that fit the connected controller, newest first; ""
// while no controller's version is known.
EMSCRIPTEN_KEEPALIVE char* web_catalogue_fitting(WebCatalogue* catalogue, WebApp* app, int withBeta)
{
    const std::optional<ControllerFacts> facts = app->Facts();
    if (!facts)
        return PageString("");
    std::string packages;
    for (const FittingPackage& p : catalogue->Fitting(*facts, withBeta != 0))
        packages += (packages.empty() ? "" : ",") + PackageJson(*catalogue, p, facts->device);
    return PageString("{\"packages\":[" + packages + "]}");
}

// "" when the package saved at path may go on to the update; else why not.
EMSCRIPTEN_KEEPALIVE char* web_catalogue_check(WebCatalogue* catalogue, int index, const char* path,
                                               const char* sha256Hex)
{
    const auto digest = ParseSha256Hex(sha256Hex);
    if (!digest || index < 0)
        return PageString(MismatchName(PackageMismatch::Hash));
    return PageString(MismatchName(catalogue->CheckSaved(static_cast<std::size_t>(index), Utf8ToUtf16(path), *digest)));
}

// The next update (web_app_update) is of listed package index: the engine
// refuses it, before the confirmation, on a controller outside its binding.
EMSCRIPTEN_KEEPALIVE void web_app_bind_catalogue_package(WebApp* app, const WebCatalogue* catalogue, int index)
{
    app->BindNextUpdate(index < 0 ? std::nullopt : catalogue->BindingOf(static_cast<std::size_t>(index)));
}

// Where listed package index lies, the catalogue being at location; "" when
// it is refused (catalogue/package_location.h).
EMSCRIPTEN_KEEPALIVE char* web_catalogue_package_location(const WebCatalogue* catalogue, int index,
                                                          const char* location)
{
    const auto found = index < 0 ? std::nullopt : catalogue->LocationOf(static_cast<std::size_t>(index), location);
    return PageString(found.value_or(""));
}
}
