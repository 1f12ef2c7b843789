#pragma once
// The program's options: --simulate=stream or --simulate=block runs against
// a simulated controller (demonstrations and GUI tests); --catalogue URL
// offers that catalogue's packages, --trust KEYFILE (repeatable) trusts its
// signer beside the build's keys. Anything else is ignored.
#include <optional>
#include <string>
#include <vector>

#include "sim/demo_setup.h"

std::optional<DemoKind> SimulateOption(const wchar_t* commandLine);

struct CatalogueOptions {
    std::string catalogue;           // UTF-8; empty: none named
    std::vector<std::string> trust;  // UTF-8 key file names
};

CatalogueOptions CatalogueOptionsOf(const wchar_t* commandLine);
