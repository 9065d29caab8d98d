#include "ui/controls.h"

#include "ui/errorreport.h"
#include "ui/uiseam.h"

#include <QGuiApplication>
#include <QIcon>
#include <QIconEngine>
#include <QKeyEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QPainterPath>
#include <QPixmap>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTabBar>

#include <algorithm>

// The icon pictures (the desktop entry's own) are compiled into this library; a static library's
// resources register only when asked to.
static void InitIconResources()
{
    static bool done = false;
    if (!done) {
        done = true;
        Q_INIT_RESOURCE(kvt_ui_icons);
    }
}

namespace kvt::ui {

namespace {

// Draws one 16 x 16 glyph in the given colour.
void DrawGlyph(QPainter& p, TGlyph Glyph, const QColor& Ink, const QColor& Accent)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(Ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (Glyph) {
    case TGlyph::Connect: // two plugs meeting
        p.drawLine(QPointF(1, 8), QPointF(5, 8));
        p.drawLine(QPointF(11, 8), QPointF(15, 8));
        p.setBrush(Accent);
        p.drawRect(QRectF(5, 5, 3, 6));
        p.drawRect(QRectF(8.5, 5, 3, 6));
        break;
    case TGlyph::Reload: { // circular arrow
        p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 280 * 16);
        QPainterPath head;
        head.moveTo(12.5, 1.5);
        head.lineTo(13.5, 6.5);
        head.lineTo(8.5, 5.5);
        head.closeSubpath();
        p.setBrush(Accent);
        p.drawPath(head);
        break;
    }
    case TGlyph::Measure: // a meter with its needle
    case TGlyph::MeasureBegin:
    case TGlyph::MeasureEnd:
        p.drawArc(QRectF(1.5, 4, 13, 13), 0, 180 * 16);
        p.drawLine(QPointF(1.5, 10.5), QPointF(14.5, 10.5));
        p.setPen(QPen(Accent, 1.8, Qt::SolidLine, Qt::RoundCap));
        if (Glyph == TGlyph::MeasureBegin)
            p.drawLine(QPointF(8, 10), QPointF(3.5, 7));
        else if (Glyph == TGlyph::MeasureEnd)
            p.drawLine(QPointF(8, 10), QPointF(12.5, 7));
        else
            p.drawLine(QPointF(8, 10), QPointF(8, 5));
        break;
    case TGlyph::Save: // a diskette
        p.setBrush(Accent);
        p.drawRect(QRectF(2, 2, 12, 12));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 2, 7, 4.5));
        p.drawRect(QRectF(4, 9.5, 8, 4.5));
        break;
    case TGlyph::Send: // an arrow into a box
        p.drawRect(QRectF(2, 8, 12, 6));
        p.setPen(QPen(Accent, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(8, 1.5), QPointF(8, 10));
        p.drawLine(QPointF(5, 7), QPointF(8, 10));
        p.drawLine(QPointF(11, 7), QPointF(8, 10));
        break;
    case TGlyph::Start: { // play triangle
        QPainterPath tri;
        tri.moveTo(4, 2.5);
        tri.lineTo(13, 8);
        tri.lineTo(4, 13.5);
        tri.closeSubpath();
        p.setBrush(Accent);
        p.drawPath(tri);
        break;
    }
    case TGlyph::Csv: // a sheet with rows
        p.drawRect(QRectF(3, 1.5, 10, 13));
        p.setPen(QPen(Accent, 1.2));
        for (int y = 5; y <= 12; y += 3)
            p.drawLine(QPointF(5, y), QPointF(11, y));
        break;
    }
}

// Draws the 16 x 16 glyph scaled into Rect, in the colours of the icon's mode.
void PaintGlyph(QPainter& P, const QRectF& Rect, TGlyph Glyph, QIcon::Mode Mode)
{
    P.save();
    P.translate(Rect.topLeft());
    P.scale(Rect.width() / 16.0, Rect.height() / 16.0);
    if (Mode == QIcon::Disabled)
        DrawGlyph(P, Glyph, QColor(160, 160, 160), QColor(200, 200, 200));
    else
        DrawGlyph(P, Glyph, QColor(40, 40, 40), QColor(30, 110, 200));
    P.restore();
}

// The glyphs are lines and shapes, so the icon draws them afresh at each size and pixel ratio
// instead of scaling a small bitmap.
class TGlyphIconEngine : public QIconEngine {
public:
    explicit TGlyphIconEngine(TGlyph Glyph) : FGlyph(Glyph) {}
    QIconEngine* clone() const override { return new TGlyphIconEngine(FGlyph); }
    void paint(QPainter* Painter, const QRect& Rect, QIcon::Mode Mode, QIcon::State) override
    {
        PaintGlyph(*Painter, Rect, FGlyph, Mode);
    }
    QPixmap pixmap(const QSize& Size, QIcon::Mode Mode, QIcon::State State) override
    {
        return scaledPixmap(Size, Mode, State, 1.0);
    }
    QPixmap scaledPixmap(const QSize& Size, QIcon::Mode Mode, QIcon::State, qreal Scale) override
    {
        QPixmap pm(Size * Scale);
        pm.setDevicePixelRatio(Scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        PaintGlyph(p, QRectF(QPointF(0, 0), QSizeF(Size)), FGlyph, Mode);
        return pm;
    }
    QSize actualSize(const QSize& Size, QIcon::Mode, QIcon::State) override { return Size; }

private:
    TGlyph FGlyph;
};

} // namespace

double ScreenPixelRatio()
{
    return qGuiApp != nullptr ? std::max(1.0, qGuiApp->devicePixelRatio()) : 1.0;
}

QIcon ProgramIcon()
{
    InitIconResources();
    QIcon icon;
    for (int size : {48, 128})
        icon.addFile(QStringLiteral(":/kvt27/kvt27-config-%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon GlyphIcon(TGlyph Glyph)
{
    return QIcon(new TGlyphIconEngine(Glyph));
}

TSpeedButton::TSpeedButton(TGlyph Glyph, QWidget* Parent) : QPushButton(Parent)
{
    setFocusPolicy(Qt::TabFocus);
    setAutoDefault(false);
    setIcon(GlyphIcon(Glyph));
    setIconSize(QSize(16, 16));
}

void TSpeedButton::SetMnemonicText(const QString& Marked)
{
    FMarked = Marked.split(QLatin1Char('|'));
    setShortcut(QKeySequence::mnemonic(FMarked.constFirst()));
    update();
}

void TSpeedButton::keyPressEvent(QKeyEvent* Event)
{
    // Enter presses a focused button as Space does, as the desktop's own dialogs behave.
    if ((Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) && Event->modifiers() == Qt::NoModifier) {
        Event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(Event);
}

void TSpeedButton::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    for (const QString& marked : FMarked) {
        QString plain = marked;
        plain.remove(plain.indexOf(QLatin1Char('&')), 1);
        if (plain == text())
            option.text = marked;
    }
    p.drawControl(QStyle::CE_PushButton, option);
}

TImage::TImage(int Width, int Height, QWidget* Parent) : QWidget(Parent)
{
    setFixedSize(Width, Height);
}

void TImage::SetPicture(const QImage* Picture)
{
    FPicture = Picture;
    update();
}

void TImage::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (FPicture != nullptr)
        p.drawImage(0, 0, *FPicture);
    else
        p.fillRect(rect(), Qt::white);
}

TTimer::TTimer(QObject* Parent) : QObject(Parent)
{
    FTimer.setSingleShot(false);
    FTimer.setInterval(UiSeam().TimerInterval(FInterval));
    connect(&FTimer, &QTimer::timeout, this, &TTimer::Timer);
}

void TTimer::SetEnabled(bool Value)
{
    if (Value == FTimer.isActive())
        return;
    if (Value) {
        FTimer.setInterval(UiSeam().TimerInterval(FInterval));
        FTimer.start();
    } else
        FTimer.stop();
}

void TTimer::SetInterval(int Ms)
{
    if (Ms == FInterval)
        return;
    FInterval = Ms;
    // A running timer starts its period anew, as a changed period always does.
    const bool running = FTimer.isActive();
    FTimer.setInterval(UiSeam().TimerInterval(Ms));
    if (running)
        FTimer.start();
}

bool TSaveDialog::Execute(QWidget* Owner)
{
    TModalScope modal;
    const auto name = UiSeam().SaveFileName(Owner, Filter, InitialDir);
    if (!name)
        return false;
    FileName = *name;
    return true;
}

TStatusBar::TStatusBar(const std::vector<int>& Widths, QWidget* Parent) : QFrame(Parent)
{
    int x = 0;
    for (int w : Widths) {
        auto* panel = new TStatusPanel(this);
        panel->setObjectName(QStringLiteral("StatusBarPanel%1").arg(FPanels.size() + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(2);
        panel->setGeometry(x, 0, w, 18);
        x += w;
        FPanels.push_back(panel);
    }
}

void TStatusPanel::SetText(const QString& Text)
{
    // Set at every transaction (its time): measuring the text waits for a tooltip that asks.
    if (Text != text())
        setText(Text);
}

bool TStatusPanel::event(QEvent* Event)
{
    if (Event->type() == QEvent::ToolTip) {
        if (Cut())
            QToolTip::showText(static_cast<QHelpEvent*>(Event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(Event);
}

bool TStatusPanel::Cut() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width() - indent();
}

void TStatusPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    drawFrame(&p);
    const QRect r = contentsRect().adjusted(indent(), 0, 0, 0);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(text(), Qt::ElideLeft, r.width()));
}

void TComboBox::showPopup()
{
    emit DropDown();
    QComboBox::showPopup();
}

TPageControl::TPageControl(QWidget* Parent) : QTabWidget(Parent)
{
    // A click on a tab takes the focus, so a field on the page being left sees it go.
    tabBar()->setFocusPolicy(Qt::StrongFocus);
}

void TPageControl::SetTabVisible(QWidget* Page, bool Visible)
{
    const int i = indexOf(Page);
    if (i >= 0)
        setTabVisible(i, Visible);
}

bool TPageControl::TabVisible(QWidget* Page) const
{
    const int i = indexOf(Page);
    return i >= 0 && isTabVisible(i);
}

void TPageControl::SetActivePageIndex(int Index)
{
    for (int i = Index; i < count(); ++i) {
        if (isTabVisible(i)) {
            setCurrentIndex(i);
            return;
        }
    }
}

} // namespace kvt::ui
