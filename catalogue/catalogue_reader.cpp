// ParseCatalogue: the catalogue read as a stream of JSON events straight into
// its entries. No document tree is built: a thousand entries parse in a
// fraction of the time, nesting is counted as it comes (the event parser
// does not recurse), and the page's module carries no tree code.
#include "catalogue/catalogue.h"

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// The format nests four deep (top, packages, entry, records / notes, record).
constexpr std::size_t kMaxNesting = 6;

// Where an event lands. Skip: inside a value no rule reads.
enum class Frame { Top, Packages, Entry, Notes, Records, Record, Skip };

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

struct EntryFields {
    CatalogueEntry entry;
    bool file = false, size = false, sha = false, channel = false, records = false;
    bool badRecord = false;  // a record of the wrong kind, or lacking a word
    std::size_t recordCount = 0;

    bool Sound() const
    {
        return file && !entry.file.empty() && size && sha && channel && records && !badRecord &&
               recordCount > 0 && recordCount <= kMaxRecordsPerEntry;
    }
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
        if (!m_PackagesIsArray)
            return Problem(CatalogueProblem::Malformed);
        if (m_EntryCount > kMaxCatalogueEntries)
            return Problem(CatalogueProblem::TooManyEntries);
        if (m_FirstBad)
            return Problem(CatalogueProblem::BadEntry, *m_FirstBad);
        CatalogueParse parse;
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
        else if (m_Frames.back() == Frame::Top && m_Key == "packages")
            StartPackages();
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
            if (m_Key == "packages")
                m_PackagesIsArray = !object;
            else if (m_Key == "format")
                m_Format.set = false;
            return m_Key == "packages" && !object ? Frame::Packages : Frame::Skip;
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
        else if (closing == Frame::Record)
            FinishRecord();
        return true;
    }

    bool Scalar(std::string* text = nullptr, const std::uint64_t* number = nullptr)
    {
        switch (Current()) {
        case Frame::Top:
            if (m_Key == "format")
                m_Format = WordOf(number);
            else if (m_Key == "packages")
                m_PackagesIsArray = false;
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
        case Frame::Skip:
            break;
        }
        return true;
    }

    void EntryScalar(std::string* text, const std::uint64_t* number)
    {
        EntryFields& f = m_Entry;
        CatalogueEntry& e = f.entry;
        if (m_Key == "file") {
            f.file = text != nullptr;
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
            m_Catalogue.packages.push_back(std::move(m_Entry.entry));
        }
    }

    std::vector<Frame> m_Frames;
    std::string m_Key;
    bool m_TooDeep = false;
    bool m_TopIsObject = false;
    bool m_PackagesIsArray = false;
    Word m_Format;
    std::size_t m_EntryCount = 0;
    std::optional<std::size_t> m_FirstBad;
    EntryFields m_Entry;
    RecordWords m_Record;
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
