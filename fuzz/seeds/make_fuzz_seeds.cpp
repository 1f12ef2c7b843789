// Writes the seed corpus of every fuzz target into <output-dir>/<target>/.
// Runs at build time so the seeds always match the current formats.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/utf.h"
#include "fuzz/seeds/seeds.h"
#include "fuzz/seeds/update_seeds.h"
#include "package/package_writer.h"

namespace {

bool WriteSeeds(const std::filesystem::path& dir, const std::vector<Seed>& seeds)
{
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    bool ok = !error;
    for (const Seed& seed : seeds) {
        const std::filesystem::path path = dir / seed.name;
        if (!WriteBytesToFile(Utf8ToUtf16(path.string()), seed.bytes)) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.string().c_str());
            ok = false;
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds <output-dir>\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    bool ok = WriteSeeds(dir / "package", PackageSeeds());
    ok = WriteSeeds(dir / "sim_stream", SimStreamSeeds()) && ok;
    ok = WriteSeeds(dir / "sim_block", SimBlockSeeds()) && ok;
    ok = WriteSeeds(dir / "stream_input", StreamInputSeeds()) && ok;
    ok = WriteSeeds(dir / "block_answers", BlockAnswersSeeds()) && ok;
    ok = WriteSeeds(dir / "whole_update", WholeUpdateSeeds()) && ok;
    ok = WriteSeeds(dir / "catalogue", CatalogueSeeds()) && ok;
    ok = WriteSeeds(dir / "signify", SignifySeeds()) && ok;
    ok = WriteSeeds(dir / "key_chain", KeyChainSeeds()) && ok;
    return ok ? 0 : 1;
}
