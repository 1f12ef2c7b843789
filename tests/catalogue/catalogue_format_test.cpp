// The catalogue's JSON: what is read back, and every bound that refuses one.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"

namespace {

const std::string kSha(64, 'a');

const std::string kBlockFor = R"({"family":"block","usb":["5a3c:4c21"],"deviceTypes":[20753]})";

std::string Entry(const std::string& fields, const std::string& binding = kBlockFor)
{
    const std::string forField = binding.empty() ? "" : R"("for":)" + binding + ",";
    return R"({"file":"a.dat","size":100,"sha256":")" + kSha + R"(","channel":"stable",)" + forField + fields + "}";
}

const std::string kRecord = R"({"deviceType":20753,"desVersion":140,"revision":3,"imageAddress":4096,"imageSize":72})";
const std::string kRecords = R"("records":[)" + kRecord + "]";

const std::string kHeader = R"("type":"catalogue","repository":"pads","version":3,)"
                            R"("published":"2026-12-01T00:00:00Z","expires":"2027-03-01T00:00:00Z")";

std::string Document(const std::string& packages, int format = kCatalogueFormat, const std::string& header = kHeader)
{
    return R"({"format":)" + std::to_string(format) + "," + header + R"(,"packages":[)" + packages + "]}";
}

std::string Header(const std::string& from, const std::string& to)
{
    std::string header = kHeader;
    return header.replace(header.find(from), from.size(), to);
}

TEST(CatalogueFormat, ReadsBackWhatItWrites)
{
    const CatalogueParse first = ParseCatalogue(
        Document(Entry(kRecords + R"(,"notes":{"en":"Fixes","zh":"修复"},"later":{"fields":[1,{"x":null}]})")));
    ASSERT_EQ(first.problem, CatalogueProblem::None);
    const CatalogueEntry& e = first.catalogue->packages.at(0);
    EXPECT_EQ(e.records.at(0).revision, 3u);
    EXPECT_EQ(e.notesZh, "修复");
    EXPECT_EQ(e.binding, (ControllerBinding{kProtocolBlock, {{0x5A3C, 0x4C21}}, {20753}, {}, {}}));
    EXPECT_EQ(first.catalogue->version, 3u);
    EXPECT_EQ(first.catalogue->expires - first.catalogue->published, 90 * kSecondsPerDay);
    const CatalogueParse again = ParseCatalogue(CatalogueJson(*first.catalogue));
    ASSERT_EQ(again.problem, CatalogueProblem::None);
    EXPECT_EQ(CatalogueJson(*again.catalogue), CatalogueJson(*first.catalogue));
}

std::string WithFloors(const std::string& floors)
{
    return Header(R"("type")", R"("floors":)" + floors + R"(,"type")");
}

const std::string kFloor = R"({"for":)" + kBlockFor + R"(,"version":140})";

TEST(CatalogueFormat, ReadsBackItsFloors)
{
    const CatalogueParse parse = ParseCatalogue(
        Document(Entry(kRecords), 2, WithFloors(R"([{"version":1,"for":{"family":"stream","usb":["0483:5750"]},"version":502}])")));
    ASSERT_EQ(parse.problem, CatalogueProblem::None);
    ASSERT_EQ(parse.catalogue->floors.size(), 1u);
    EXPECT_EQ(parse.catalogue->floors[0], (SecurityFloor{{kProtocolStream, {{0x0483, 0x5750}}, {}, {}, {}}, 502}));
    EXPECT_EQ(ParseCatalogue(CatalogueJson(*parse.catalogue)).catalogue->floors, parse.catalogue->floors);
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
        {"malformed", R"({"format":2,"packages":[)", CatalogueProblem::Malformed},
        {"not an object", "[1]", CatalogueProblem::Malformed},
        {"unknown format", Document("", 3), CatalogueProblem::UnknownFormat},
        {"the older format", Document(Entry(kRecords), 1), CatalogueProblem::UnknownFormat},
        {"format as a fraction", R"({"format":2.0,"packages":[]})", CatalogueProblem::UnknownFormat},
        {"a key list", Document("", 2, Header("catalogue", "keys")), CatalogueProblem::WrongType},
        {"no type", Document("", 2, Header(R"("type":"catalogue",)", "")), CatalogueProblem::WrongType},
        {"no repository", Document("", 2, Header(R"("pads")", R"("")")), CatalogueProblem::BadHeader},
        {"version 0", Document("", 2, Header(":3,", ":0,")), CatalogueProblem::BadHeader},
        {"version as text", Document("", 2, Header(":3,", R"(:"3",)")), CatalogueProblem::BadHeader},
        {"local time", Document("", 2, Header("00:00:00Z\",\"expires", "00:00:00+01:00\",\"expires")),
         CatalogueProblem::BadHeader},
        {"February 30", Document("", 2, Header("2027-03-01", "2027-02-30")), CatalogueProblem::BadHeader},
        {"packages not a list", Document("").replace(Document("").find("[]"), 2, "{}"), CatalogueProblem::Malformed},
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
        {"file cut short by a NUL", Document(Entry(kRecords + R"(,"file":"a/..\u0000/b.dat")")),
         CatalogueProblem::BadEntry},
        {"file with an escape", Document(Entry(kRecords + R"(,"file":"\u001b[2Ja.dat")")), CatalogueProblem::BadEntry},
        {"hash given again as an object", Document(Entry(kRecords + R"(,"sha256":{})")), CatalogueProblem::BadEntry},
        {"negative size", Document(Entry(R"("records":[{"deviceType":1,"desVersion":1,"revision":0,"imageAddress":0,"imageSize":-1}])")),
         CatalogueProblem::BadEntry},
        {"word too wide", Document(Entry(R"("records":[{"deviceType":4294967296,"desVersion":1,"revision":0,"imageAddress":0,"imageSize":1}])")),
         CatalogueProblem::BadEntry},
        {"65 records", Document(Entry(R"("records":[)" + Repeated(kRecord, kMaxRecordsPerEntry + 1) + "]")),
         CatalogueProblem::BadEntry},
        {"no binding", Document(Entry(kRecords, "")), CatalogueProblem::BadEntry},
        {"binding not an object", Document(Entry(kRecords, "[]")), CatalogueProblem::BadEntry},
        {"block without a type", Document(Entry(kRecords, R"({"family":"block","usb":["5a3c:4c21"]})")),
         CatalogueProblem::BadEntry},
        {"no USB id", Document(Entry(kRecords, R"({"family":"stream","usb":[]})")), CatalogueProblem::BadEntry},
        {"USB id not hex", Document(Entry(kRecords, R"({"family":"stream","usb":["5a3c:4g21"]})")),
         CatalogueProblem::BadEntry},
        {"a third family", Document(Entry(kRecords, R"({"family":"serial","usb":["5a3c:4c21"]})")),
         CatalogueProblem::BadEntry},
        {"stream with a device type",
         Document(Entry(kRecords, R"({"family":"stream","usb":["5a3c:5750"],"deviceTypes":[1]})")),
         CatalogueProblem::BadEntry},
        {"sub-model past a byte",
         Document(Entry(kRecords, R"({"family":"stream","usb":["5a3c:5750"],"subModels":[256]})")),
         CatalogueProblem::BadEntry},
        {"USB ids given again as a number",
         Document(Entry(kRecords, R"({"family":"stream","usb":["5a3c:5750"],"usb":7})")), CatalogueProblem::BadEntry},
        {"floors not a list", Document("", 2, WithFloors(kFloor)), CatalogueProblem::BadFloor},
        {"floor not an object", Document("", 2, WithFloors("[140]")), CatalogueProblem::BadFloor},
        {"floor without a version", Document("", 2, WithFloors(R"([{"for":)" + kBlockFor + "}]")),
         CatalogueProblem::BadFloor},
        {"floor version as text", Document("", 2, WithFloors(R"([{"for":)" + kBlockFor + R"(,"version":"1.40"}])")),
         CatalogueProblem::BadFloor},
        {"floor without controllers", Document("", 2, WithFloors(R"([{"version":140}])")), CatalogueProblem::BadFloor},
        {"floor of an incomplete binding",
         Document("", 2, WithFloors(R"([{"for":{"family":"block","usb":["5a3c:4c21"]},"version":140}])")),
         CatalogueProblem::BadFloor},
        {"floor naming stream models",
         Document("", 2, WithFloors(R"([{"for":{"family":"stream","usb":["0483:5750"],"models":[261]},"version":502}])")),
         CatalogueProblem::BadFloor},
        {"65 floors", Document("", 2, WithFloors("[" + Repeated(kFloor, kMaxCatalogueFloors + 1) + "]")),
         CatalogueProblem::BadFloor},
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
