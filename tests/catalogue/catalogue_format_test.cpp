// The catalogue's JSON: what is read back, and every bound that refuses one.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"

namespace {

const std::string kSha(64, 'a');

std::string Entry(const std::string& fields)
{
    return R"({"file":"a.dat","size":100,"sha256":")" + kSha + R"(","channel":"stable",)" + fields + "}";
}

const std::string kRecords =
    R"("records":[{"deviceType":20753,"desVersion":140,"revision":3,"imageAddress":4096,"imageSize":72}])";

std::string Document(const std::string& packages, int format = kCatalogueFormat)
{
    return R"({"format":)" + std::to_string(format) + R"(,"packages":[)" + packages + "]}";
}

TEST(CatalogueFormat, ReadsBackWhatItWrites)
{
    const CatalogueParse first = ParseCatalogue(
        Document(Entry(kRecords + R"(,"notes":{"en":"Fixes","zh":"修复"},"later":{"fields":[1,{"x":null}]})")));
    ASSERT_EQ(first.problem, CatalogueProblem::None);
    const CatalogueEntry& e = first.catalogue->packages.at(0);
    EXPECT_EQ(e.records.at(0).revision, 3u);
    EXPECT_EQ(e.notesZh, "修复");
    const CatalogueParse again = ParseCatalogue(CatalogueJson(*first.catalogue));
    ASSERT_EQ(again.problem, CatalogueProblem::None);
    EXPECT_EQ(CatalogueJson(*again.catalogue), CatalogueJson(*first.catalogue));
}

struct BadCase {
    const char* name;
    std::string text;
    CatalogueProblem problem;
};

std::string Repeated(const std::string& item, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += (i ? "," : "") + item;
    return text;
}

TEST(CatalogueFormat, RefusesEachBadInput)
{
    const BadCase cases[] = {
        {"malformed", R"({"format":1,"packages":[)", CatalogueProblem::Malformed},
        {"not an object", "[1]", CatalogueProblem::Malformed},
        {"unknown format", Document("", 2), CatalogueProblem::UnknownFormat},
        {"format as a fraction", R"({"format":1.0,"packages":[]})", CatalogueProblem::UnknownFormat},
        {"packages not a list", R"({"format":1,"packages":{}})", CatalogueProblem::Malformed},
        {"record not an object", Document(Entry(R"("records":[7])")), CatalogueProblem::BadEntry},
        {"second entry broken", Document(Entry(kRecords) + ",{}"), CatalogueProblem::BadEntry},
        {"no format", R"({"packages":[]})", CatalogueProblem::UnknownFormat},
        {"50 MB", Document(Entry(kRecords)) + std::string(50u << 20, ' '), CatalogueProblem::TooLarge},
        {"100,000 entries", Document(Repeated("{}", 100000)), CatalogueProblem::TooManyEntries},
        {"nested", std::string(100000, '['), CatalogueProblem::TooDeep},
        {"short hash", Document(R"({"file":"a.dat","size":1,"sha256":"ab","channel":"stable",)" + kRecords + "}"),
         CatalogueProblem::BadEntry},
        {"other channel", Document(Entry(kRecords)).replace(Document(Entry(kRecords)).find("stable"), 6, "nightly"),
         CatalogueProblem::BadEntry},
        {"no records", Document(Entry(R"("records":[])")), CatalogueProblem::BadEntry},
        {"file given again as a list", Document(Entry(kRecords + R"(,"file":[])")), CatalogueProblem::BadEntry},
        {"hash given again as an object", Document(Entry(kRecords + R"(,"sha256":{})")), CatalogueProblem::BadEntry},
        {"negative size", Document(Entry(R"("records":[{"deviceType":1,"desVersion":1,"revision":0,"imageAddress":0,"imageSize":-1}])")),
         CatalogueProblem::BadEntry},
        {"word too wide", Document(Entry(R"("records":[{"deviceType":4294967296,"desVersion":1,"revision":0,"imageAddress":0,"imageSize":1}])")),
         CatalogueProblem::BadEntry},
    };
    for (const BadCase& c : cases)
        EXPECT_EQ(ParseCatalogue(c.text).problem, c.problem) << c.name;
}

TEST(CatalogueFormat, BracketsInsideStringsDoNotCountAsNesting)
{
    const std::string deep(20, '[');
    EXPECT_EQ(ParseCatalogue(Document(Entry(kRecords + R"(,"notes":{"en":")" + deep + R"("})"))).problem,
              CatalogueProblem::None);
}

}  // namespace
