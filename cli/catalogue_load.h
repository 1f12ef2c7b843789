#pragma once
// A catalogue loaded for a command: fetched, its signature and freshness
// judged, and reported as check reports it; and its packages downloaded and
// checked against it.
#include <filesystem>
#include <optional>
#include <string>

#include "cli/catalogue_source.h"
#include "cli/cli_options.h"
#include "cli/event_output.h"

struct AcceptedCatalogue {
    std::string location;  // where it was served: its packages are there
    Catalogue catalogue;
    Sha256Digest sha256{};
    std::string trust;  // "signed by key ...", the key chain's words, or "unsigned"
};

// What LoadCatalogue found, reported as a "catalogue" event.
AcceptedCatalogue ReportCatalogue(const std::string& location, LoadedCatalogue loaded, EventOutput& out);

// options.catalogue, or a mirror's newer one, loaded and judged, with its
// memory; nullopt after its refusal was reported (code is then the exit
// code). Each location not used is said skipped.
std::optional<AcceptedCatalogue> LoadAndReport(const CatalogueServices& services, const CliOptions& options,
                                               const FetchContext& context, EventOutput& out, int& code);

struct PackageDownload {
    std::string path;    // the checked package; empty when refused
    std::string reason;  // the JSON reason code, when refused
    std::string text;    // the cause in words, when refused
};

// The package of entry, listed in the catalogue at catalogueLocation,
// downloaded into folder and checked against the listing; received, when
// given, is told the bytes so far.
PackageDownload DownloadPackage(const CatalogueServices& services, const std::string& catalogueLocation,
                                const CatalogueEntry& entry, const FetchContext& context,
                                const std::filesystem::path& folder,
                                const std::function<void(std::size_t received)>& received = {});

// A fresh folder for one download, so the engine's messages name the
// package by its own file name.
std::optional<std::filesystem::path> TemporaryFolder();
// The downloaded package at path and its folder, removed.
void RemoveDownload(const std::string& path);

// The exit code of a refused download's reason.
int DownloadExitCode(const std::string& reason);
