#include "ui/Fonts.h"

#include <QStringList>
#include <cmath>

namespace {
QFont sized(const QString& family, double points, bool bold) {
    QFont font(family);
    font.setPixelSize(int(std::lround(points * 96.0 / 72.0)));
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
} // namespace

namespace Fonts {

void installSubstitutes() {
    const QStringList standIns = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                  QStringLiteral("DejaVu Sans")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), standIns);
    QFont::insertSubstitutions(QStringLiteral("Arial"), standIns);
}

QFont sansSerif(double points, bool bold) {
    return sized(QStringLiteral("MS Sans Serif"), points, bold);
}

QFont arial(double points) {
    return sized(QStringLiteral("Arial"), points, false);
}

} // namespace Fonts
