#include "cli/keys_commands.h"

#include <filesystem>

#include "base/utf.h"
#include "catalogue/signature_set.h"
#include "cli/exit_codes.h"
#include "cli/hex_text.h"
#include "cli/key_chain_fetch.h"
#include "package/package_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kDefaultCatalogueThreshold = 1;

int Fail(EventOutput& out, int code, const std::string& reason, const std::string& line)
{
    out.Message(line, {{"event", "failed"}, {"reason", reason}, {"message", line}, {"exitCode", code}});
    return code;
}

std::optional<std::string> ReadText(const std::string& path, std::size_t maxBytes)
{
    const StopSignal never;
    const FetchResult read = FetchLocation({}, path, maxBytes, {never});
    if (read.problem != FetchProblem::None)
        return std::nullopt;
    return std::string(read.body.begin(), read.body.end());
}

bool WriteText(const std::string& path, const std::string& text)
{
    return WriteBytesToFile(Utf8ToUtf16(path),
                            std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool Exists(const std::string& path)
{
    std::error_code error;
    return fs::exists(fs::path(Utf8ToUtf16(path)), error);
}

std::string KeyList(const KeyRole& role)
{
    std::string text;
    for (const SignifyPublicKey& key : role.keys)
        text += (text.empty() ? "" : ", ") + HexBytes(key.number);
    return text + " (" + std::to_string(role.threshold) + " of " + std::to_string(role.keys.size()) + ")";
}

// The keys of files; nullopt names the bad one in bad.
std::optional<std::vector<SignifyPublicKey>> ReadPublicKeys(const std::vector<std::string>& files, std::string& bad)
{
    std::vector<SignifyPublicKey> keys;
    for (const std::string& file : files) {
        const auto text = ReadText(file, kMaxSignifyFileBytes);
        const auto key = text ? ParseSignifyPublicKey(*text) : std::nullopt;
        if (!key) {
            bad = file;
            return std::nullopt;
        }
        keys.push_back(*key);
    }
    return keys;
}

std::string InFolder(const std::string& folder, std::uint64_t version)
{
    return Utf16ToUtf8((fs::path(Utf8ToUtf16(folder)) / Utf8ToUtf16(KeySetFileName(version))).u16string());
}

// The newest key set of folder, counting up from 1; version 0 when there is none.
std::optional<KeySet> Newest(const std::string& folder, KeySetProblem& problem, std::uint64_t& unreadable)
{
    KeySet newest;
    for (std::uint64_t v = 1; Exists(InFolder(folder, v)); ++v) {
        const auto text = ReadText(InFolder(folder, v), kMaxKeySetBytes);
        KeySetParse parse = text ? ParseKeySet(*text) : KeySetParse{std::nullopt, KeySetProblem::TooLarge};
        if (!parse.keySet || parse.keySet->version != v) {
            problem = parse.keySet ? KeySetProblem::Malformed : parse.problem;
            unreadable = v;
            return std::nullopt;
        }
        newest = std::move(*parse.keySet);
    }
    return newest;
}

}  // namespace

int RunKeySetWrite(const CliOptions& options, EventOutput& out)
{
    const KeySetOptions& o = options.keySet;
    const bool init = options.command == CliCommand::CatalogueKeysInit;
    KeySetProblem problem = KeySetProblem::None;
    std::uint64_t unreadable = 0;
    const auto newest = Newest(o.folder, problem, unreadable);
    if (!newest)
        return Fail(out, kExitCatalogueRefused, "unreadable-key-set",
                    InFolder(o.folder, unreadable) + ": " + KeySetProblemText(problem) + "; nothing was written");
    if (init && newest->version != 0)
        return Fail(out, kExitUsage, "key-set-exists",
                    InFolder(o.folder, 1) + ": already there; `catalogue keys rotate` writes the next one");
    if (!init && newest->version == 0)
        return Fail(out, kExitUsage, "no-key-set",
                    o.folder + ": no 1.keys.json; `catalogue keys init` writes the first one");
    KeySet next = *newest;
    next.version = newest->version + 1;
    next.expires = SystemUtcNow() + static_cast<UtcSeconds>(o.expiresDays) * kSecondsPerDay;
    std::string bad;
    const std::pair<const std::vector<std::string>*, KeyRole*> roles[] = {{&o.roots, &next.root},
                                                                          {&o.catalogueKeys, &next.catalogue}};
    for (const auto& [files, role] : roles) {
        if (files->empty())
            continue;
        const auto keys = ReadPublicKeys(*files, bad);
        if (!keys)
            return Fail(out, kExitUsage, "bad-public-key", bad + ": not a signify public key; nothing was written");
        role->keys = *keys;
    }
    if (o.rootThreshold != 0 || init)
        next.root.threshold = o.rootThreshold != 0 ? o.rootThreshold : kDefaultRootThreshold;
    if (o.threshold != 0 || init)
        next.catalogue.threshold = o.threshold != 0 ? o.threshold : kDefaultCatalogueThreshold;
    if (!RoleSound(next.root) || !RoleSound(next.catalogue))
        return Fail(out, kExitUsage, "bad-key-set",
                    "each threshold must be 1 to the number of its keys, and no key listed twice (at most " +
                        std::to_string(kMaxKeysPerRole) + "); nothing was written");
    std::error_code error;
    fs::create_directories(fs::path(Utf8ToUtf16(o.folder)), error);
    const std::string path = InFolder(o.folder, next.version);
    if (!WriteText(path, KeySetJson(next)))
        return Fail(out, kExitFailed, "cannot-write", path + ": cannot be written");
    const KeyRole& signers = init ? next.root : newest->root;
    std::string line = path + ": key set " + std::to_string(next.version) + ", expires " + UtcTimeText(next.expires) +
                       "; sign it with the root keys " + KeyList(signers);
    if (!init)
        line += " and " + KeyList(next.root);
    out.Data(line, {{"event", "written"}, {"keySet", path}, {"version", next.version},
                    {"expires", UtcTimeText(next.expires)}});
    return kExitDone;
}

int RunCatalogueSign(const CatalogueServices& services, const CliOptions& options, EventOutput& out)
{
    const auto bytes = ReadText(options.catalogue, kMaxDownloadBytes);
    if (!bytes)
        return Fail(out, kExitUsage, "cannot-read", options.catalogue + ": cannot be read");
    const std::string sigPath = options.catalogue + ".sig";
    // Signatures already there stay, but one by a key signing again is replaced.
    std::vector<std::string> blocks;
    if (Exists(sigPath)) {
        const auto previous = ReadText(sigPath, kMaxSignatureFileBytes);
        const auto split = previous ? SignatureBlocks(*previous) : std::nullopt;
        if (!split)
            return Fail(out, kExitUsage, "bad-signature-file",
                        sigPath + ": not signify signatures; remove it to sign anew");
        blocks.assign(split->begin(), split->end());
    }
    const std::span message(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
    nlohmann::json numbers = nlohmann::json::array();
    std::string named;
    for (const std::string& keyFile : options.secretKeys) {
        const auto text = ReadText(keyFile, kMaxSignifyFileBytes);
        const auto key = text ? ParseSignifySecretKey(*text) : std::nullopt;
        if (!key)
            return Fail(out, kExitUsage, "bad-secret-key",
                        keyFile + ": not an unencrypted signify secret key (signify -G -n makes one)");
        const auto signature = services.crypto->SignEd25519(key->seed, key->key, message);
        if (!signature)
            return Fail(out, kExitFailed, "cannot-sign", "the key cannot sign");
        std::erase_if(blocks, [&](const std::string& block) { return ParseSignifySignature(block)->number == key->number; });
        const std::string keyName = Utf16ToUtf8(fs::path(Utf8ToUtf16(keyFile)).stem().u16string());
        blocks.push_back(FormatSignifySignature({key->number, *signature}, "verify with " + keyName + ".pub"));
        numbers.push_back(HexBytes(key->number));
        named += (named.empty() ? "" : ", ") + HexBytes(key->number);
    }
    std::string all;
    for (const std::string& block : blocks)
        all += block;
    if (all.size() > kMaxSignatureFileBytes)
        return Fail(out, kExitUsage, "too-many-signatures", sigPath + ": more signatures than a reader takes");
    if (!WriteText(sigPath, all))
        return Fail(out, kExitFailed, "cannot-write", sigPath + ": cannot be written");
    out.Data(sigPath + ": signed with " + named + "; " + std::to_string(blocks.size()) + " signatures in all",
             {{"event", "signed"}, {"signature", sigPath}, {"keys", numbers}, {"signatures", blocks.size()}});
    return kExitDone;
}
