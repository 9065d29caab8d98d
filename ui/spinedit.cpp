#include "ui/spinedit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPolygon>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>

#include <climits>

namespace kvt::ui {

namespace {

constexpr int ButtonWidth = 13;

bool IsUserReason(Qt::FocusReason Reason)
{
    return Reason == Qt::MouseFocusReason || Reason == Qt::TabFocusReason || Reason == Qt::BacktabFocusReason
        || Reason == Qt::ShortcutFocusReason;
}

QIcon ArrowIcon(bool Up)
{
    QPixmap pm(7, 4);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPolygon tri;
    if (Up)
        tri << QPoint(0, 4) << QPoint(7, 4) << QPoint(3, 0) << QPoint(3, 0);
    else
        tri << QPoint(0, 0) << QPoint(7, 0) << QPoint(3, 4) << QPoint(3, 4);
    p.drawPolygon(tri);
    return QIcon(pm);
}

// Whole numbers the way the field reads them: leading blanks, an optional sign, digits.
bool ParseWhole(const QString& Text, int& Value)
{
    int i = 0;
    while (i < Text.size() && Text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < Text.size() && (Text[i] == QLatin1Char('-') || Text[i] == QLatin1Char('+'))) {
        negative = Text[i] == QLatin1Char('-');
        ++i;
    }
    if (i >= Text.size())
        return false;
    long long v = 0;
    for (; i < Text.size(); ++i) {
        const QChar c = Text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v < INT_MIN || v > INT_MAX)
        return false;
    Value = static_cast<int>(v);
    return true;
}

} // namespace

TSpinEdit::TSpinEdit(QWidget* Parent)
    : QLineEdit(Parent), FUp(new QToolButton(this)), FDown(new QToolButton(this))
{
    setMaxLength(5);
    setTextMargins(0, 0, ButtonWidth, 0);
    for (QToolButton* b : {FUp, FDown}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setCursor(Qt::ArrowCursor);
        b->setIconSize(QSize(7, 4));
    }
    FUp->setIcon(ArrowIcon(true));
    FDown->setIcon(ArrowIcon(false));
    connect(FUp, &QToolButton::clicked, this, [this] { ButtonPressed(true); });
    connect(FDown, &QToolButton::clicked, this, [this] { ButtonPressed(false); });
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (HasNumber())
            FLastNumber = text();
        if (FEntered)
            FActive = true;
        emit Change();
    });
}

int TSpinEdit::CheckValue(int Value) const
{
    if (FMaxValue != FMinValue) {
        if (Value < FMinValue)
            return FMinValue;
        if (Value > FMaxValue)
            return FMaxValue;
    }
    return Value;
}

int TSpinEdit::Value() const
{
    int v = 0;
    return ParseWhole(text(), v) ? v : FMinValue;
}

bool TSpinEdit::HasNumber() const
{
    int v = 0;
    return ParseWhole(text(), v);
}

void TSpinEdit::ShowLastNumber()
{
    if (text() == FLastNumber)
        return;
    const QSignalBlocker quiet(this);
    setText(FLastNumber);
}

void TSpinEdit::SetValue(int Value)
{
    const QString t = QString::number(CheckValue(Value));
    if (t != text())
        setText(t);
}

QColor TSpinEdit::FontColor() const
{
    return palette().color(QPalette::Text);
}

void TSpinEdit::SetFontColor(const QColor& Color)
{
    QPalette p = palette();
    p.setColor(QPalette::Active, QPalette::Text, Color);
    p.setColor(QPalette::Inactive, QPalette::Text, Color);
    setPalette(p);
}

void TSpinEdit::StepUp()
{
    const long long v = static_cast<long long>(Value()) + FIncrement;
    SetValue(static_cast<int>(v > INT_MAX ? INT_MAX : v));
}

void TSpinEdit::StepDown()
{
    const long long v = static_cast<long long>(Value()) - FIncrement;
    SetValue(static_cast<int>(v < INT_MIN ? INT_MIN : v));
}

void TSpinEdit::ButtonPressed(bool Up)
{
    // A click on an arrow puts the focus into the field first, as a click into the text does.
    if (!hasFocus() && isEnabled())
        setFocus(Qt::MouseFocusReason);
    if (Up)
        StepUp();
    else
        StepDown();
}

void TSpinEdit::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Up && !(Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        StepUp();
        Event->accept();
        return;
    }
    if (Event->key() == Qt::Key_Down && !(Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        StepDown();
        Event->accept();
        return;
    }
    const QString typed = Event->text();
    if (typed.size() == 1 && Event->key() != Qt::Key_Delete) {
        QChar key = typed[0];
        emit KeyPress(key);
        if (key != typed[0]) {
            if (key.isNull()) {
                Event->accept();
                return;
            }
            QKeyEvent replaced(Event->type(), Event->key(), Event->modifiers(), QString(key), Event->isAutoRepeat(),
                               static_cast<ushort>(Event->count()));
            QLineEdit::keyPressEvent(&replaced);
            return;
        }
    }
    QLineEdit::keyPressEvent(Event);
}

void TSpinEdit::focusInEvent(QFocusEvent* Event)
{
    QLineEdit::focusInEvent(Event);
    if (FEntered || !IsUserReason(Event->reason()))
        return;
    FEntered = true;
    // Tab only passes through: nothing is driven until the user changes the code.
    FActive = Event->reason() == Qt::MouseFocusReason || Event->reason() == Qt::ShortcutFocusReason;
    if (FActive)
        emit Enter();
}

void TSpinEdit::focusOutEvent(QFocusEvent* Event)
{
    QLineEdit::focusOutEvent(Event);
    const Qt::FocusReason reason = Event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return; // a box or a menu on top; the focus comes back here
    if (FEntered) {
        const bool active = FActive;
        FEntered = false;
        FActive = false;
        if (active && IsUserReason(reason))
            emit Exit();
    }
}

void TSpinEdit::resizeEvent(QResizeEvent* Event)
{
    QLineEdit::resizeEvent(Event);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int h = height() - 2 * frame;
    const int x = width() - frame - ButtonWidth;
    FUp->setGeometry(x, frame, ButtonWidth, h / 2);
    FDown->setGeometry(x, frame + h / 2, ButtonWidth, h - h / 2);
}

} // namespace kvt::ui
