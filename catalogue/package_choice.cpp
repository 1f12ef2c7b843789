#include "catalogue/package_choice.h"

#include <algorithm>
#include <charconv>
#include <tuple>

#include "engine/record_choice.h"
#include "protocols/standard_protocols.h"
#include "text/firmware_version.h"

namespace {

// A release's betas come before the release itself.
std::tuple<std::uint16_t, std::uint32_t> VersionKey(std::uint32_t word)
{
    const FirmwareVersionWord version(word);
    return {version.Release(), version.Beta() == 0 ? UINT32_MAX : version.Beta()};
}

std::optional<std::uint32_t> Number(std::string_view digits)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value > UINT16_MAX)
        return std::nullopt;
    return value;
}

std::string WithoutRevision(const PackageHeader& record)
{
    PackageHeader plain = record;
    plain.revision = 0;
    return VersionLabel(plain);
}

}  // namespace

bool NewerVersion(std::uint32_t a, std::uint32_t b)
{
    return VersionKey(a) > VersionKey(b);
}

std::optional<std::uint32_t> SecurityFloorFor(const Catalogue& catalogue, const ControllerFacts& facts)
{
    std::optional<std::uint32_t> floor;
    for (const SecurityFloor& f : catalogue.floors)
        if (BindingCovers(f.binding, {facts.protocolVariant, facts.usb, facts.device, false}) &&
            (!floor || NewerVersion(f.version, *floor)))
            floor = f.version;
    return floor;
}

bool BelowSecurityFloor(const PackageHeader& record, std::optional<std::uint32_t> floor)
{
    return floor && NewerVersion(*floor, record.desVersion);
}

std::vector<FittingPackage> FittingPackages(const Catalogue& catalogue, const ControllerFacts& facts,
                                            bool withBeta, BelowFloor below)
{
    std::vector<FittingPackage> fitting;
    const ProtocolDrivers drivers = StandardProtocolDrivers();
    const auto driver = std::find_if(drivers.begin(), drivers.end(),
                                     [&](const auto& d) { return d->Variant() == facts.protocolVariant; });
    if (driver == drivers.end())
        return fitting;
    const auto floor = below == BelowFloor::Kept ? std::nullopt : SecurityFloorFor(catalogue, facts);
    for (const CatalogueEntry& entry : catalogue.packages) {
        if (entry.channel == Channel::Beta && !withBeta)
            continue;
        // Before an update the stream model is not known; the session judges it.
        if (!BindingCovers(entry.binding, {facts.protocolVariant, facts.usb, facts.device, false}))
            continue;
        const RecordChoice choice = ChooseListedRecord(**driver, facts.protocolVariant, facts.device, entry.records);
        if (choice.refusal == SelectionRefusal::None && !BelowSecurityFloor(entry.records[choice.index], floor))
            fitting.push_back({&entry, entry.records[choice.index]});
    }
    std::stable_sort(fitting.begin(), fitting.end(), [](const FittingPackage& a, const FittingPackage& b) {
        if (a.record.desVersion != b.record.desVersion)
            return NewerVersion(a.record.desVersion, b.record.desVersion);
        return a.record.revision > b.record.revision;
    });
    return fitting;
}

bool UpdateAvailable(const DeviceDescription& device, const FittingPackage& package)
{
    const std::uint32_t running = device.cur_devVersion;
    if (running == VersionProbeSentinel || running == kNoFirmwareVersion)
        return true;
    return NewerVersion(package.record.desVersion, running);
}

std::string VersionLabel(const PackageHeader& record)
{
    const FirmwareVersionWord version(record.desVersion);
    std::string label = ReleaseText(record.desVersion);
    if (version.Beta() != 0)
        label += 'b' + std::to_string(version.Beta());
    if (record.revision != 0)
        label += 'r' + std::to_string(RevisionNumber(record.revision));
    return label;
}

std::string VersionWordLabel(std::uint32_t desVersion)
{
    PackageHeader record;
    record.desVersion = desVersion;
    return VersionLabel(record);
}

std::optional<std::uint32_t> ParseVersionWord(std::string_view label)
{
    const std::size_t dot = label.find('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    const std::size_t beta = label.find('b', dot);
    const auto major = Number(label.substr(0, dot));
    const auto minor = Number(label.substr(dot + 1, beta == std::string_view::npos ? beta : beta - dot - 1));
    const auto betaNumber = beta == std::string_view::npos ? std::optional<std::uint32_t>(0) : Number(label.substr(beta + 1));
    if (!major || !minor || !betaNumber || *major * 100 + *minor > UINT16_MAX)
        return std::nullopt;
    const std::uint32_t word = *betaNumber << 16 | (*major * 100 + *minor);
    // "1.4", "01.40" or "1.40b0" name it only as its label writes it.
    if (VersionWordLabel(word) != label)
        return std::nullopt;
    return word;
}

std::optional<FittingPackage> PackageNamed(const std::vector<FittingPackage>& packages, const std::string& label)
{
    for (const FittingPackage& p : packages)
        if (VersionLabel(p.record) == label)
            return p;
    // Newest first, so the first without revision is the highest revision.
    for (const FittingPackage& p : packages)
        if (WithoutRevision(p.record) == label)
            return p;
    return std::nullopt;
}
