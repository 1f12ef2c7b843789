// Writes the demo packages into the directory named by the first argument.
// Runs at build time so the packages always match the current writer.
#include <cstdio>
#include <string>
#include <vector>

#include "text/wformat.h"
#include "package/package_writer.h"

namespace {

bool WriteDemo(const std::string& dir, const char16_t* name,
               const std::vector<PackageRecordSpec>& records)
{
    const std::u16string path = Utf8ToUtf16(dir) + u"/" + name;
    if (WritePackageFile(path, records))
        return true;
    std::fprintf(stderr, "make_demo_packages: cannot write %s\n", Utf16ToUtf8(path).c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_packages <output-dir>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool stream = WriteDemo(dir, kDemoStreamPackageName, DemoStreamPackage());
    const bool block = WriteDemo(dir, kDemoBlockPackageName, DemoBlockPackage());
    return stream && block ? 0 : 1;
}
