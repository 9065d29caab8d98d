// A masked edit for the numeric range fields. Masks are written "picture;save;blank": in the
// picture '#' is an optional digit or sign, '9' an optional digit, '0' a required digit, and
// any other character a literal (the decimal comma). Text() gives the whole picture with its
// literals and with unfilled positions as spaces, whatever is shown for them.
#pragma once

#include <QLineEdit>

namespace kvt::ui {

class TMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget* Parent = nullptr);

    QString EditMask() const { return FEditMask; }
    void SetEditMask(const QString& Mask);

    // The field's text: every position of the picture, literals included, unfilled ones as spaces.
    QString Text() const;
    // Fills the positions from Value as typed from the left; characters that a position does not
    // take are skipped, as the mask would refuse them.
    void SetText(const QString& Value);

    // Qt's input mask for a picture (exposed for tests).
    static QString QtInputMask(const QString& Picture);

private:
    QString FEditMask;
    QString FPicture;
};

} // namespace kvt::ui
