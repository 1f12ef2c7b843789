// Runs a fuzz target's entry point on stored inputs, without libFuzzer, so
// crash inputs stay fixed as ordinary tests. Arguments are files or
// directories (every regular file in them but dot files, in name order). A missing path,
// or one that holds no input, fails: a renamed or emptied directory must not
// pass silently.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "fuzz/fuzz_entry.h"

namespace fs = std::filesystem;

namespace {

bool Inputs(const fs::path& path, std::vector<fs::path>& out)
{
    std::error_code error;
    if (fs::is_regular_file(path, error)) {
        out.push_back(path);
        return true;
    }
    if (!fs::is_directory(path, error))
        return false;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error))
        // Dot files keep empty directories in git; they are no inputs.
        if (entry.is_regular_file(error) && entry.path().filename().string().front() != '.')
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    out.insert(out.end(), files.begin(), files.end());
    return !error;
}

bool Replay(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    const std::vector<char> content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Exact size, so an over-read by one byte is caught by the sanitizers.
    const std::size_t size = content.size();
    auto bytes = std::make_unique<std::uint8_t[]>(size);
    std::copy(content.begin(), content.end(), bytes.get());
    std::printf("replay %s (%zu bytes)\n", file.string().c_str(), size);
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(bytes.get(), size);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file or directory>...\n", argv[0]);
        return 2;
    }
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::size_t before = files.size();
        if (!Inputs(argv[i], files)) {
            std::fprintf(stderr, "cannot list inputs in %s\n", argv[i]);
            return 1;
        }
        if (files.size() == before) {
            std::fprintf(stderr, "no inputs in %s\n", argv[i]);
            return 1;
        }
    }
    for (const fs::path& file : files) {
        if (!Replay(file)) {
            std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
            return 1;
        }
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
