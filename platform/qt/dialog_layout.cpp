#include "platform/qt/dialog_layout.h"

#include <QFontMetrics>
#include <QStringList>

namespace {
int Scale(int value, int numerator, int denominator)
{
    return (value * numerator + denominator / 2) / denominator;
}
}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(alphabet / 26 + 1) / 2, metrics.height()};
}

QRect ToPixels(const DialogUnitRect& rect, DialogBaseUnits units)
{
    return QRect(Scale(rect.x, units.x, 4), Scale(rect.y, units.y, 8),
                 Scale(rect.width, units.x, 4), Scale(rect.height, units.y, 8));
}

QSize ToPixels(int width, int height, DialogBaseUnits units)
{
    return QSize(Scale(width, units.x, 4), Scale(height, units.y, 8));
}

QFont TemplateFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QString::fromUtf8("宋体"),
                      QStringLiteral("WenQuanYi Micro Hei"), font.family()});
    font.setPointSize(template102::kFontPoints);
    return font;
}
