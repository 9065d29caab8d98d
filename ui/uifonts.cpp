#include "ui/uifonts.h"

namespace kvt::ui {

namespace {
QFont Sans(int PixelSize, bool Bold)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(PixelSize);
    f.setBold(Bold);
    return f;
}
} // namespace

QFont WindowFont()
{
    return Sans(11, false);
}

QFont BoldFont()
{
    return Sans(11, true);
}

QFont MeasValueFont()
{
    return Sans(16, true);
}

QFont SmallFont()
{
    return Sans(9, false);
}

QFont VersionFont()
{
    return Sans(10, false);
}

QFont HelpFont()
{
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    f.setPixelSize(11);
    return f;
}

} // namespace kvt::ui
