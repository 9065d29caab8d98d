// A spin edit in the manner the window expects: any text up to MaxLength characters, a value
// that counts text which is not a whole number as MinValue, arrows (buttons and keys) that step
// within MinValue..MaxValue, and no clamping of typed text or of the text when the limits change.
#pragma once

#include <QLineEdit>

class QToolButton;

namespace kvt::ui {

class TSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* Parent = nullptr);

    int MinValue() const { return FMinValue; }
    void SetMinValue(int Value) { FMinValue = Value; }
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int Value) { FMaxValue = Value; }
    int Increment() const { return FIncrement; }
    void SetIncrement(int Value) { FIncrement = Value; }

    // The text as a whole number; MinValue when it is not one.
    int Value() const;
    // Whether the text is a whole number at all (letters or an emptied field are not).
    bool HasNumber() const;
    // Puts back the last text that was a whole number, without a change signal.
    void ShowLastNumber();
    // Writes Value limited to MinValue..MaxValue (unless both are equal) as the text.
    void SetValue(int Value);

    QColor FontColor() const;
    void SetFontColor(const QColor& Color);

    // One step up or down, as the arrow buttons and the arrow keys do.
    void StepUp();
    void StepDown();

signals:
    // The text changed, by the user or by the program; never when it stays the same.
    void Change();
    // Enter: the user went into the field on purpose (a click, or a shortcut that names it).
    // Exit: the user moved the focus out again after an Enter, or after changing the text in
    // the field. Tabbing through the field without changing it gives neither, and neither does
    // focus moved by the program or by another window.
    void Enter();
    void Exit();
    // A character key, before it is applied to the field. The handler may change the text.
    void KeyPress(QChar& Key);

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void ButtonPressed(bool Up);
    int CheckValue(int Value) const;

    int FMinValue = 0;
    int FMaxValue = 0;
    int FIncrement = 1;
    QString FLastNumber = QStringLiteral("0");
    bool FEntered = false; // the user's focus is in the field
    bool FActive = false;  // ... and this visit has had an Enter or a change
    QToolButton* FUp;
    QToolButton* FDown;
};

} // namespace kvt::ui
