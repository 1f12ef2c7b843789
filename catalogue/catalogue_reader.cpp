// ParseCatalogue: the catalogue read as a stream of JSON events straight into
// its entries. No document tree is built: a thousand entries parse in a
// fraction of the time, nesting is counted as it comes (the event parser
// does not recurse), and the page's module carries no tree code.
#include "catalogue/catalogue.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// A package's name is handed to the system, libcurl and a terminal, which
// take a NUL as its end and other control characters as commands.
bool HasControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// The format nests five deep (top, packages, entry, records / notes / for,
// record / a binding's list; top, floors, floor, for, a binding's list).
constexpr std::size_t kMaxNesting = 6;

// Where an event lands. Skip: inside a value no rule reads.
enum class Frame { Top, Packages, Entry, Notes, Records, Record, Binding, BindingList, Floors, Floor, Skip };

struct Word {
    bool set = false;
    std::uint32_t value = 0;
};

// One record's five words; a key given twice counts the last time (as in
// any JSON object), a value of the wrong kind leaves the word unset.
struct RecordWords {
    Word type, version, revision, address, size;

    Word* Named(std::string_view key)
    {
        if (key == "deviceType") return &type;
        if (key == "desVersion") return &version;
        if (key == "revision") return &revision;
        if (key == "imageAddress") return &address;
        if (key == "imageSize") return &size;
        return nullptr;
    }
    std::optional<PackageHeader> Header() const
    {
        if (!type.set || !version.set || !revision.set || !address.set || !size.set)
            return std::nullopt;
        PackageHeader h;
        h.deviceType = type.value;
        h.desVersion = version.value;
        h.revision = revision.value;
        h.imageAddress = address.value;
        h.imageSize = size.value;
        return h;
    }
};

// An entry's "for". Each field, given again, replaces what it said before;
// a list holding anything but its kind of value is unsound.
struct BindingFields {
    enum List { Usb, DeviceTypes, Models, SubModels, kLists };
    static constexpr const char* kListKeys[kLists] = {"usb", "deviceTypes", "models", "subModels"};
    static constexpr std::uint64_t kListMax[kLists] = {0, UINT32_MAX, UINT16_MAX, UINT8_MAX};

    bool seen = false, object = false, familySet = false;
    bool given[kLists] = {}, sound[kLists] = {};
    ControllerBinding binding;

    static std::optional<List> ListNamed(std::string_view key)
    {
        for (int i = 0; i < kLists; ++i)
            if (key == kListKeys[i])
                return static_cast<List>(i);
        return std::nullopt;
    }
    void Forget(List list)
    {
        given[list] = true;
        sound[list] = false;
        switch (list) {
        case Usb: binding.usb.clear(); break;
        case DeviceTypes: binding.deviceTypes.clear(); break;
        case Models: binding.models.clear(); break;
        case SubModels: binding.subModels.clear(); break;
        case kLists: break;
        }
    }
    void Add(List list, const std::string* text, const std::uint64_t* number)
    {
        if (list == Usb) {
            const auto id = text ? ParseUsbId(*text) : std::nullopt;
            if (!id)
                sound[list] = false;
            else
                binding.usb.push_back(*id);
            return;
        }
        if (!number || *number > kListMax[list]) {
            sound[list] = false;
            return;
        }
        if (list == DeviceTypes)
            binding.deviceTypes.push_back(static_cast<std::uint32_t>(*number));
        else if (list == Models)
            binding.models.push_back(static_cast<std::uint16_t>(*number));
        else
            binding.subModels.push_back(static_cast<std::uint8_t>(*number));
    }
    void Family(const std::string* text)
    {
        const auto family = text ? FamilyNamed(*text) : std::nullopt;
        familySet = family.has_value();
        binding.family = family.value_or(kProtocolStream);
    }
    bool Sound() const
    {
        for (int i = 0; i < kLists; ++i)
            if (given[i] && !sound[i])
                return false;
        return seen && object && familySet && BindingComplete(binding);
    }
};

struct EntryFields {
    CatalogueEntry entry;
    bool file = false, size = false, sha = false, channel = false, records = false;
    bool badRecord = false;  // a record of the wrong kind, or lacking a word
    std::size_t recordCount = 0;
    BindingFields binding;

    bool Sound() const
    {
        return file && !entry.file.empty() && size && sha && channel && records && !badRecord &&
               recordCount > 0 && recordCount <= kMaxRecordsPerEntry && binding.Sound();
    }
};

// One of the header's floors.
struct FloorFields {
    Word version;
    BindingFields binding;

    bool Sound() const { return version.set && binding.Sound() && FloorBindingSound(binding.binding); }
};

class CatalogueReader final : public nlohmann::json_sax<json> {
public:
    CatalogueParse Result(bool parsed) &&
    {
        if (m_TooDeep)
            return Problem(CatalogueProblem::TooDeep);
        if (!parsed || !m_TopIsObject)
            return Problem(CatalogueProblem::Malformed);
        if (!m_Format.set || m_Format.value != kCatalogueFormat)
            return Problem(CatalogueProblem::UnknownFormat);
        if (m_Type != kCatalogueType)
            return Problem(CatalogueProblem::WrongType);
        if (!m_HeaderTimes[0] || !m_HeaderTimes[1] || m_Catalogue.repository.empty() || m_Catalogue.version == 0)
            return Problem(CatalogueProblem::BadHeader);
        if (!m_PackagesIsArray)
            return Problem(CatalogueProblem::Malformed);
        if (m_EntryCount > kMaxCatalogueEntries)
            return Problem(CatalogueProblem::TooManyEntries);
        if (m_FirstBad)
            return Problem(CatalogueProblem::BadEntry, *m_FirstBad);
        if (m_BadFloors)
            return Problem(CatalogueProblem::BadFloor);
        CatalogueParse parse;
        m_Catalogue.published = *m_HeaderTimes[0];
        m_Catalogue.expires = *m_HeaderTimes[1];
        parse.catalogue = std::move(m_Catalogue);
        return parse;
    }

    bool null() override { return Scalar(); }
    bool boolean(bool) override { return Scalar(); }
    bool number_integer(number_integer_t) override { return Scalar(); }
    bool number_unsigned(number_unsigned_t value) override { return Scalar(nullptr, &value); }
    bool number_float(number_float_t, const string_t&) override { return Scalar(); }
    bool string(string_t& value) override { return Scalar(&value); }
    bool binary(binary_t&) override { return Scalar(); }

    bool start_object(std::size_t) override { return Open(true); }
    bool start_array(std::size_t) override { return Open(false); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }

    bool key(string_t& name) override
    {
        m_Key.assign(name);  // the lexer keeps its buffer for the next token
        if (m_Frames.back() == Frame::Entry)
            ForgetEntryField();
        else if (m_Frames.back() == Frame::Binding)
            ForgetBindingField();
        else if (m_Frames.back() == Frame::Top && m_Key == "packages")
            StartPackages();
        else if (m_Frames.back() == Frame::Top && m_Key == "floors")
            StartFloors();
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    static CatalogueParse Problem(CatalogueProblem problem, std::size_t entry = 0)
    {
        CatalogueParse parse;
        parse.problem = problem;
        parse.badEntry = entry;
        return parse;
    }

    Frame Current() const { return m_Frames.empty() ? Frame::Skip : m_Frames.back(); }

    // The frame a new object or array opens, from where it stands.
    Frame Child(bool object)
    {
        if (m_Frames.empty()) {
            m_TopIsObject = object;
            return object ? Frame::Top : Frame::Skip;
        }
        switch (m_Frames.back()) {
        case Frame::Top:
            if (m_Key == "floors")
                return object ? (m_BadFloors = true, Frame::Skip) : Frame::Floors;
            if (m_Key == "packages")
                m_PackagesIsArray = !object;
            else
                TopScalar(nullptr, nullptr);  // a compound where a scalar belongs
            return m_Key == "packages" && !object ? Frame::Packages : Frame::Skip;
        case Frame::Floors:
            return StartFloor(object);
        case Frame::Floor:
            return FloorChild(object);
        case Frame::Packages:
            return object ? StartEntry() : (BadEntryValue(), Frame::Skip);
        case Frame::Entry:
            return EntryChild(object);
        case Frame::Records:
            ++m_Entry.recordCount;
            if (!object)
                m_Entry.badRecord = true;
            m_Record = {};
            return object ? Frame::Record : Frame::Skip;
        case Frame::Record:
            if (m_Record.Named(m_Key))
                *m_Record.Named(m_Key) = {};
            return Frame::Skip;
        case Frame::Notes:
            if (m_Key == "en" || m_Key == "zh")
                Note().clear();
            return Frame::Skip;
        case Frame::Binding:
            return BindingChild(object);
        case Frame::BindingList:
            m_Binding->sound[m_List] = false;
            return Frame::Skip;
        case Frame::Skip:
            return Frame::Skip;
        }
        return Frame::Skip;
    }

    Frame EntryChild(bool object)
    {
        EntryFields& f = m_Entry;
        if (m_Key == "notes")
            return object ? Frame::Notes : Frame::Skip;
        if (m_Key == "for")
            return OpenBinding(f.binding, object);
        if (m_Key == "records") {
            f.records = !object;
            return object ? Frame::Skip : Frame::Records;
        }
        // A scalar given as a compound is unset, also when an earlier key set it.
        EntryScalar(nullptr, nullptr);
        return Frame::Skip;
    }

    bool Open(bool object)
    {
        if (m_Frames.size() >= kMaxNesting) {
            m_TooDeep = true;
            return false;
        }
        m_Frames.push_back(Child(object));
        return true;
    }

    bool Close()
    {
        const Frame closing = m_Frames.back();
        m_Frames.pop_back();
        if (closing == Frame::Entry)
            FinishEntry();
        else if (closing == Frame::Floor)
            FinishFloor();
        else if (closing == Frame::Record)
            FinishRecord();
        return true;
    }

    bool Scalar(std::string* text = nullptr, const std::uint64_t* number = nullptr)
    {
        switch (Current()) {
        case Frame::Top:
            if (m_Key == "packages")
                m_PackagesIsArray = false;
            else if (m_Key == "floors")
                m_BadFloors = true;
            else
                TopScalar(text, number);
            break;
        case Frame::Floors:
            m_BadFloors = true;
            break;
        case Frame::Floor:
            FloorScalar(number);
            break;
        case Frame::Packages:
            BadEntryValue();
            break;
        case Frame::Entry:
            EntryScalar(text, number);
            break;
        case Frame::Notes:
            if (m_Key == "en" || m_Key == "zh")
                Note() = text ? std::move(*text) : "";
            break;
        case Frame::Records:
            ++m_Entry.recordCount;
            m_Entry.badRecord = true;
            break;
        case Frame::Record:
            if (Word* word = m_Record.Named(m_Key))
                *word = WordOf(number);
            break;
        case Frame::Binding:
            if (m_Key == "family")
                m_Binding->Family(text);
            else if (const auto list = BindingFields::ListNamed(m_Key))
                m_Binding->Forget(*list);  // a scalar where a list belongs: given, unsound
            break;
        case Frame::BindingList:
            m_Binding->Add(m_List, text, number);
            break;
        case Frame::Skip:
            break;
        }
        return true;
    }

    // The header's fields; one of the wrong kind is unset.
    void TopScalar(std::string* text, const std::uint64_t* number)
    {
        if (m_Key == "format") {
            m_Format = WordOf(number);
        } else if (m_Key == "type") {
            m_Type = text ? std::move(*text) : "";
        } else if (m_Key == "repository") {
            m_Catalogue.repository = text ? std::move(*text) : "";
        } else if (m_Key == "version") {
            m_Catalogue.version = number ? *number : 0;
        } else if (m_Key == "published" || m_Key == "expires") {
            m_HeaderTimes[m_Key == "expires"] = text ? ParseUtcTime(*text) : std::nullopt;
        }
    }

    // An entry's or a floor's "for"; its fields land in b.
    Frame OpenBinding(BindingFields& b, bool object)
    {
        b = {};
        b.seen = true;
        b.object = object;
        m_Binding = &b;
        return object ? Frame::Binding : Frame::Skip;
    }

    Frame BindingChild(bool object)
    {
        BindingFields& b = *m_Binding;
        const auto list = BindingFields::ListNamed(m_Key);
        if (m_Key == "family")
            b.Family(nullptr);
        if (!list)
            return Frame::Skip;
        b.Forget(*list);
        if (object)
            return Frame::Skip;
        b.sound[*list] = true;
        m_List = *list;
        return Frame::BindingList;
    }

    void ForgetBindingField()
    {
        if (m_Key == "family")
            m_Binding->Family(nullptr);
        else if (const auto list = BindingFields::ListNamed(m_Key))
            m_Binding->Forget(*list);
    }

    void StartFloors()
    {
        m_BadFloors = false;
        m_FloorCount = 0;
        m_Catalogue.floors.clear();
    }

    Frame StartFloor(bool object)
    {
        ++m_FloorCount;
        m_Floor = {};
        if (!object)
            m_BadFloors = true;
        return object ? Frame::Floor : Frame::Skip;
    }

    Frame FloorChild(bool object)
    {
        if (m_Key == "for")
            return OpenBinding(m_Floor.binding, object);
        FloorScalar(nullptr);  // a compound where a scalar belongs
        return Frame::Skip;
    }

    void FloorScalar(const std::uint64_t* number)
    {
        if (m_Key == "version")
            m_Floor.version = WordOf(number);
        else if (m_Key == "for")
            OpenBinding(m_Floor.binding, false);  // not an object: unsound
    }

    void FinishFloor()
    {
        if (!m_Floor.Sound() || m_FloorCount > kMaxCatalogueFloors)
            m_BadFloors = true;
        else
            m_Catalogue.floors.push_back({std::move(m_Floor.binding.binding), m_Floor.version.value});
    }

    void EntryScalar(std::string* text, const std::uint64_t* number)
    {
        EntryFields& f = m_Entry;
        CatalogueEntry& e = f.entry;
        if (m_Key == "file") {
            f.file = text != nullptr && !HasControlCharacter(*text);
            e.file = text ? std::move(*text) : "";
        } else if (m_Key == "size") {
            f.size = number != nullptr;
            e.size = number ? *number : 0;
        } else if (m_Key == "sha256") {
            const auto digest = text ? ParseSha256Hex(*text) : std::nullopt;
            f.sha = digest.has_value();
            e.sha256 = digest.value_or(Sha256Digest{});
        } else if (m_Key == "channel") {
            f.channel = text && (*text == ChannelName(Channel::Stable) || *text == ChannelName(Channel::Beta));
            e.channel = text && *text == ChannelName(Channel::Beta) ? Channel::Beta : Channel::Stable;
        } else if (m_Key == "date") {
            e.date = text ? std::move(*text) : "";
        } else if (m_Key == "for") {
            OpenBinding(f.binding, false);  // not an object: unsound
        }
    }

    // A key given again replaces what the first one said.
    void ForgetEntryField()
    {
        EntryFields& f = m_Entry;
        if (m_Key == "notes") {
            f.entry.notesEn.clear();
            f.entry.notesZh.clear();
        } else if (m_Key == "records") {
            f.records = false;
            f.badRecord = false;
            f.recordCount = 0;
            f.entry.records.clear();
        }
    }

    static Word WordOf(const std::uint64_t* number)
    {
        if (!number || *number > UINT32_MAX)
            return {};
        return {true, static_cast<std::uint32_t>(*number)};
    }

    void StartPackages()
    {
        m_PackagesIsArray = false;
        m_EntryCount = 0;
        m_FirstBad.reset();
        m_Catalogue.packages.clear();
    }

    Frame StartEntry()
    {
        ++m_EntryCount;
        m_Entry = {};
        return Frame::Entry;
    }

    void BadEntryValue()
    {
        if (!m_FirstBad)
            m_FirstBad = m_EntryCount;
        ++m_EntryCount;
    }

    std::string& Note() { return m_Key == "en" ? m_Entry.entry.notesEn : m_Entry.entry.notesZh; }

    void FinishRecord()
    {
        const auto header = m_Record.Header();
        if (!header)
            m_Entry.badRecord = true;
        else if (m_Entry.entry.records.size() < kMaxRecordsPerEntry)
            m_Entry.entry.records.push_back(*header);
    }

    void FinishEntry()
    {
        const std::size_t index = m_EntryCount - 1;
        if (!m_Entry.Sound()) {
            if (!m_FirstBad)
                m_FirstBad = index;
        } else if (index < kMaxCatalogueEntries) {
            m_Entry.entry.binding = std::move(m_Entry.binding.binding);
            m_Catalogue.packages.push_back(std::move(m_Entry.entry));
        }
    }

    std::vector<Frame> m_Frames;
    std::string m_Key;
    bool m_TooDeep = false;
    bool m_TopIsObject = false;
    bool m_PackagesIsArray = false;
    Word m_Format;
    std::string m_Type;
    std::optional<UtcSeconds> m_HeaderTimes[2];  // published, expires
    BindingFields::List m_List = BindingFields::Usb;
    std::size_t m_EntryCount = 0;
    std::optional<std::size_t> m_FirstBad;
    EntryFields m_Entry;
    RecordWords m_Record;
    BindingFields* m_Binding = &m_Entry.binding;  // the "for" being read
    bool m_BadFloors = false;
    std::size_t m_FloorCount = 0;
    FloorFields m_Floor;
    Catalogue m_Catalogue;
};

}  // namespace

CatalogueParse ParseCatalogue(std::string_view text)
{
    if (text.size() > kMaxCatalogueBytes) {
        CatalogueParse parse;
        parse.problem = CatalogueProblem::TooLarge;
        return parse;
    }
    CatalogueReader reader;
    // The event parser itself, not json::sax_parse: that one also carries the
    // binary formats' readers, which a catalogue never is.
    using Input = decltype(nlohmann::detail::input_adapter(text.begin(), text.end()));
    nlohmann::detail::parser<json, Input> parser(nlohmann::detail::input_adapter(text.begin(), text.end()),
                                                 nullptr, false, false);
    const bool parsed = parser.sax_parse(&reader, true);
    return std::move(reader).Result(parsed);
}
