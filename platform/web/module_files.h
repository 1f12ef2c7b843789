#pragma once
// The page's files: the catalogue, its key sets and signatures, the
// remembered state and the packages, kept by the page (site/module_files.js)
// and read by the core through stdio (OpenFileU16). The page hands them over
// while the module may be suspended, so they stay on its side, as
// emscripten's file system kept them; without that file system the loader
// weighs 11 KB less of gzip on every first visit.
#include <optional>
#include <string>

// The whole file at path; nullopt when there is none.
std::optional<std::string> ReadModuleFile(const std::string& path);
