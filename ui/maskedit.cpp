#include "ui/maskedit.h"

namespace kvt::ui {

TMaskEdit::TMaskEdit(QWidget* Parent) : QLineEdit(Parent) {}

QString TMaskEdit::QtInputMask(const QString& Picture)
{
    // Qt spells an optional digit '0' and a required one '9'; '#' (digit or sign, optional)
    // means the same. Every other character is escaped so that it stays a literal, and
    // unfilled positions are kept as blanks.
    QString mask;
    for (const QChar c : Picture) {
        if (c == QLatin1Char('#'))
            mask += c;
        else if (c == QLatin1Char('9'))
            mask += QLatin1Char('0');
        else if (c == QLatin1Char('0'))
            mask += QLatin1Char('9');
        else {
            mask += QLatin1Char('\\');
            mask += c;
        }
    }
    return mask + QStringLiteral("; ");
}

void TMaskEdit::SetEditMask(const QString& Mask)
{
    FEditMask = Mask;
    FPicture = Mask.section(QLatin1Char(';'), 0, 0);
    setInputMask(FPicture.isEmpty() ? QString() : QtInputMask(FPicture));
    setMaxLength(FPicture.isEmpty() ? 32767 : static_cast<int>(FPicture.size()));
}

QString TMaskEdit::Text() const
{
    if (FPicture.isEmpty())
        return text();
    // With blanks shown as spaces the display is the text with every position in place.
    QString shown = displayText();
    if (shown.size() < FPicture.size())
        shown += QString(FPicture.size() - shown.size(), QLatin1Char(' '));
    return shown.left(FPicture.size());
}

void TMaskEdit::SetText(const QString& Value)
{
    setText(Value);
}

} // namespace kvt::ui
