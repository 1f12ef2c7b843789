// The catalogue's entry points for the page (site/catalogue.js). Bytes come
// as files in the module's file system, names and hex go out as UTF-8 the
// page frees; the page knows each verdict by its name, never by position.
#include <optional>
#include <string>

#include <emscripten.h>
#include <nlohmann/json.hpp>

#include "base/utf.h"
#include "catalogue/fetcher.h"
#include "text/firmware_version.h"
#include "text/wformat.h"
#include "platform/web/module_file.h"
#include "platform/web/page_string.h"
#include "platform/web/web_app.h"
#include "platform/web/web_catalogue.h"
#include "demo_key.h"

namespace {

using nlohmann::json;

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
    case CatalogueProblem::TooManyEntries: return "too-many-entries";
    case CatalogueProblem::BadEntry: return "bad-entry";
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

// "1.40" as the page shows a release.
std::string Release(std::uint32_t word)
{
    return Utf16ToUtf8(WFormat(u"%0.2f", FirmwareVersionWord(word).ReleaseNumber()));
}

json PackageJson(const WebCatalogue& catalogue, const FittingPackage& p, const DeviceDescription& device)
{
    const CatalogueEntry& e = *p.entry;
    return {{"index", catalogue.IndexOf(p)},
            {"release", Release(p.record.desVersion)},
            {"beta", FirmwareVersionWord(p.record.desVersion).Beta()},
            {"revision", p.record.revision},
            {"channel", e.channel == Channel::Beta ? "beta" : "stable"},
            {"date", e.date},
            {"notes", {{"en", e.notesEn}, {"zh", e.notesZh}}},
            {"file", e.file},
            {"size", e.size},
            {"newer", UpdateAvailable(device, p)}};
}

}  // namespace

extern "C" {

// The largest catalogue the core reads: the page stops fetching beyond it.
EMSCRIPTEN_KEEPALIVE std::uint32_t web_catalogue_largest() { return kMaxCatalogueBytes; }

// How long a download may go without a byte, as the native fetchers allow.
EMSCRIPTEN_KEEPALIVE std::uint32_t web_fetch_stall_ms() { return kDefaultStallTimeoutMs; }

// The build's trusted keys; in the demo mode the build's demo key too.
EMSCRIPTEN_KEEPALIVE WebCatalogue* web_catalogue_create(int demo)
{
    std::vector<SignifyPublicKey> trusted = BuiltInTrustedKeys();
    if (demo)
        if (const auto key = ParseSignifyPublicKey(kDemoKeyFile))
            trusted.push_back(*key);
    return new WebCatalogue(std::move(trusted));
}

// {"key": hex, "signature": hex} for WebCrypto to verify over the catalogue;
// "" when the verdict needs no cryptography.
EMSCRIPTEN_KEEPALIVE char* web_catalogue_question(WebCatalogue* catalogue, const char* signaturePath)
{
    const auto question = catalogue->SignatureQuestion(ReadText(signaturePath));
    if (!question)
        return PageString("");
    return PageString(json{{"key", Hex(question->key)}, {"signature", Hex(question->signature)}}.dump());
}

// {"accepted": bool, "trust": name, "problem": name or ""}.
EMSCRIPTEN_KEEPALIVE char* web_catalogue_open(WebCatalogue* catalogue, const char* path, const char* signaturePath,
                                              int verified)
{
    const std::string text = ReadText(path).value_or("");
    const WebCatalogue::Opened opened = catalogue->Open(text, ReadText(signaturePath), verified != 0);
    return PageString(json{{"accepted", opened.Accepted()},
                     {"trust", TrustName(opened.trust.trust)},
                     {"problem", ProblemName(opened.problem)}}
                    .dump());
}

// {"packages": [...]} that fit the connected controller, newest first; ""
// while no controller's version is known.
EMSCRIPTEN_KEEPALIVE char* web_catalogue_fitting(WebCatalogue* catalogue, WebApp* app, int withBeta)
{
    const std::optional<ControllerFacts> facts = app->Facts();
    if (!facts)
        return PageString("");
    json packages = json::array();
    for (const FittingPackage& p : catalogue->Fitting(*facts, withBeta != 0))
        packages.push_back(PackageJson(*catalogue, p, facts->device));
    return PageString(json{{"packages", packages}}.dump());
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
}
