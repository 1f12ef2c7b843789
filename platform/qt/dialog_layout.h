#pragma once
// Dialog template 102 in dialog units, and their conversion to pixels for a
// font, as the Windows dialog manager does it: a horizontal unit is a quarter
// of the font's average character width, a vertical one an eighth of its
// height.
#include <QFont>
#include <QRect>
#include <QSize>

struct DialogUnitRect {
    int x, y, width, height;
};

namespace template102 {
inline constexpr int kWidth = 211;
inline constexpr int kHeight = 138;
inline constexpr int kFontPoints = 9;
inline constexpr DialogUnitRect kProgressBar{7, 7, 197, 14};
inline constexpr DialogUnitRect kUpdateButton{7, 109, 197, 22};
inline constexpr DialogUnitRect kDoneLabel{59, 91, 85, 12};
inline constexpr DialogUnitRect kHintLabel{7, 25, 197, 55};
}  // namespace template102

struct DialogBaseUnits {
    int x = 0;  // average character width in pixels
    int y = 0;  // character height in pixels
};

DialogBaseUnits BaseUnitsOf(const QFont& font);
QRect ToPixels(const DialogUnitRect& rect, DialogBaseUnits units);
QSize ToPixels(int width, int height, DialogBaseUnits units);
// The dialog font: 9 points, a Song face where one is installed.
QFont TemplateFont();
