// Stream controller inputs: the host's side of whole updates (image frames
// sent whole and in pieces, under each fault the target can inject) and the
// odd frames around them.
#include <algorithm>

#include "fuzz/seeds/report_list.h"
#include "fuzz/seeds/seeds.h"
#include "package/package_writer.h"
#include "stream/stream_frame.h"

using namespace stream_frame;

namespace {

class StreamReports : public ReportList {
public:
    using ReportList::ReportList;

    // Frames of more than one report go in pieces, as the host sends image data.
    void Frame(std::span<const std::uint8_t> frame)
    {
        for (std::size_t at = 0; at < frame.size(); at += kPieceBytes) {
            std::uint8_t payload[kReportBytes] = {};
            PutReport(frame.subspan(at, std::min(kPieceBytes, frame.size() - at)), payload);
            Add(payload);
        }
    }
    void Command(std::uint8_t command, std::span<const std::uint8_t> payload = {})
    {
        stream_frame::Frame frame;
        BuildCommandFrame(command, payload.data(), static_cast<std::int32_t>(payload.size()), frame);
        Frame(frame.View());
    }
    void Short(std::uint8_t type, std::uint8_t value) { Frame(BuildShortMessage(type, value).View()); }
};

// Version query, identity, start, the image in chunkBytes chunks, end.
std::vector<std::uint8_t> Update(std::uint8_t config, std::size_t imageBytes, std::size_t chunkBytes)
{
    const std::vector<std::uint8_t> image = MakeDemoImage(imageBytes, 7);
    StreamReports reports(config);
    reports.Command(GET_VERSION);
    reports.Short(UPDATE_START, 0);
    const auto start = BuildStartPayload(150, 0x08004000, static_cast<std::uint32_t>(image.size()));
    reports.Command(START_UPDATE, start);
    for (std::size_t at = 0; at < image.size(); at += chunkBytes)
        reports.Command(IMAGE_DATA, std::span(image).subspan(at, std::min(chunkBytes, image.size() - at)));
    reports.Command(END_UPDATE);
    return reports.Bytes();
}

}  // namespace

std::vector<Seed> SimStreamSeeds()
{
    std::vector<Seed> seeds;
    seeds.push_back({"update", Update(0x00, 100, 32)});
    seeds.push_back({"update_long_frames", Update(0x00, 300, 120)});
    seeds.push_back({"failure_after_chunk_1", Update(0x01 | 1 << 2, 100, 32)});
    seeds.push_back({"unplug_after_chunk_2", Update(0x02 | 2 << 2, 100, 32)});
    seeds.push_back({"silent_after_chunk_1", Update(0x03 | 1 << 2, 100, 32)});
    seeds.push_back({"delayed_model_261", Update(0x20 | 0x40, 64, 32)});

    StreamReports odd(0);
    odd.Short(READ_FAILED, 0);
    odd.Short(0x55, 1);  // a type it does not know
    odd.Command(IMAGE_DATA, std::vector<std::uint8_t>(8, 0xA5));  // before START_UPDATE
    odd.Command(END_UPDATE);                                      // with nothing started
    odd.Command(START_UPDATE, BuildStartPayload(150, 0x08004000, 0));
    odd.Command(IMAGE_DATA);  // bare, as after an image shorter than a chunk
    odd.Command(END_UPDATE);
    seeds.push_back({"odd_frames", odd.Bytes()});
    return seeds;
}
