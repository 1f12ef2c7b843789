#include "cli/record_problem_text.h"

std::string RecordProblemText(RecordProblem problem)
{
    switch (problem) {
    case RecordProblem::None: return "sound";
    case RecordProblem::CannotOpen: return "the file cannot be opened";
    case RecordProblem::ReadError: return "the header cannot be read";
    case RecordProblem::HeaderCutShort: return "the header is cut short by the end of the file";
    case RecordProblem::EmptyImage: return "the image size is 0";
    case RecordProblem::OffsetOverflow: return "the record ends beyond 2 GiB";
    case RecordProblem::ImagePastEnd: return "the image runs past the end of the file";
    }
    return "the record cannot be read";
}
