#pragma once
// The words of the catalogue's offer in the dialogs, in Chinese and English,
// shown in the dialog's language. A table of their own: the dialog's table
// (text/text_table.h) keeps its texts and ids.
#include <array>
#include <string>

#include "text/text_table.h"

enum class OfferText : int {
    Question = 0,       // "%s": the package's version, then the controller's
    QuestionNoVersion,  // a controller that did not tell its version
    Install,
    ChooseFile,
    Cancel,
    Untrusted,
    OutOfDate,
    CatalogueUnreadable,
    PackageMismatch,
    PackageUnreachable,
    OutsideBinding,
    ChooseInstead,
    Count,
};

inline constexpr int kOfferTextCount = static_cast<int>(OfferText::Count);

extern const std::array<TextPair, kOfferTextCount> OfferTextTable;

// The text in the language LoadText shows.
std::u16string LoadOfferText(OfferText id);
