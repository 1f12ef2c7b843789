// The Qt program's station options, which fill the station window: the
// package version is --version=V, since a bare --version is the program's.
#include <gtest/gtest.h>

#include "platform/linux/program_options.h"

TEST(ProgramOptions, StationCatalogueOptionsAndTheirMistakes)
{
    ProgramOptions options;
    ASSERT_TRUE(ParseProgramOptions({"--station", "--catalogue", "https://x/c.json", "--version=1.40", "--beta",
                                     "--offline", "--allow-below-floor", "--verify", "--mirror", "/media/usb",
                                     "--catalogue-refresh", "30", "--trust", "k.pub"},
                                    options));
    EXPECT_EQ(options.catalogue, "https://x/c.json");
    EXPECT_EQ(options.packageVersion, "1.40");
    EXPECT_FALSE(options.version);
    EXPECT_TRUE(options.beta && options.offline && options.allowBelowFloor && options.verify);
    EXPECT_EQ(options.mirrors, std::vector<std::string>{"/media/usb"});
    EXPECT_EQ(options.catalogueRefreshS, 30u);
    EXPECT_EQ(options.trust, std::vector<std::string>{"k.pub"});

    ProgramOptions bare;
    ASSERT_TRUE(ParseProgramOptions({"--version"}, bare));
    EXPECT_TRUE(bare.version);
    EXPECT_TRUE(bare.packageVersion.empty());

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--catalogue-refresh", "0"}, {"--catalogue-refresh", "86401"},
          {"--catalogue-refresh", "5s"}, {"--mirror"}}) {
        ProgramOptions refused;
        EXPECT_FALSE(ParseProgramOptions(wrong, refused)) << wrong.front() << " " << wrong.back();
    }
}
