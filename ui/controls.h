// Small controls of the main window that Qt lacks in the needed form: push buttons that a click
// leaves the focus alone, the chart image, the sampling timer, the save dialog, the status bar
// with fixed-width panels, a page control whose tabs can be hidden, and a combo box that tells
// when its list is about to drop down.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QStringList>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include "datalog/log_table.h"

#include <array>
#include <vector>

namespace kvt::ui {

enum class TGlyph { Connect, Reload, Measure, MeasureBegin, MeasureEnd, Save, Send, Start, Csv };

// The device pixel ratio the window's bitmaps are drawn at: the highest of the screens.
double ScreenPixelRatio();

// The program's own icon, for its windows.
QIcon ProgramIcon();

// A small icon drawn at whatever size and pixel ratio it is asked for; grey when disabled.
QIcon GlyphIcon(TGlyph Glyph);

// A push button with a small icon. A click leaves the keyboard focus where it was (a code field
// keeps it across its save button); Tab reaches it, and Space, Enter or its mnemonic press it.
// The mnemonic lives beside the caption, so that text() is the caption exactly as written.
class TSpeedButton : public QPushButton {
    Q_OBJECT
public:
    explicit TSpeedButton(TGlyph Glyph, QWidget* Parent = nullptr);
    // The caption with '&' before its mnemonic letter, or several separated by '|' for a button
    // whose caption changes (the same letter in each); the one that matches text() is drawn.
    void SetMnemonicText(const QString& Marked);

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;

private:
    QStringList FMarked;
};

// An image of a fixed size that shows a bitmap drawn elsewhere (the trend chart's own).
class TImage : public QWidget {
    Q_OBJECT
public:
    TImage(int Width, int Height, QWidget* Parent = nullptr);
    // The bitmap shown; it must outlive the control or be replaced first.
    void SetPicture(const QImage* Picture);
    const QImage* Picture() const { return FPicture; }
    // Call after drawing on the bitmap.
    void Changed() { update(); }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    const QImage* FPicture = nullptr;
};

// The invisible one-column string table: the log of the recording, as the window shows it.
class TStringGrid : public QObject {
    Q_OBJECT
public:
    TStringGrid(const TLogTable& Shown, QObject* Parent = nullptr) : QObject(Parent), Table(Shown) {}
    const TLogTable& Table;
};

// A timer with an enabled flag and a period in ms; the period actually used passes through the
// seam's mapping.
class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(QObject* Parent = nullptr);
    bool Enabled() const { return FTimer.isActive(); }
    void SetEnabled(bool Value);
    int Interval() const { return FInterval; }
    void SetInterval(int Ms);

signals:
    void Timer();

private:
    QTimer FTimer;
    int FInterval = 1000;
};

// The save-file dialog, shown through the seam.
class TSaveDialog : public QObject {
    Q_OBJECT
public:
    explicit TSaveDialog(QObject* Parent = nullptr) : QObject(Parent) {}
    QString Filter;     // "Description|*.ext"
    QString InitialDir; // where the dialog opens; the system's choice when empty
    QString FileName;   // set by a successful Execute
    bool Execute(QWidget* Owner);
};

// A panel of the status bar: a text too long for it is cut with an ellipsis where it starts
// (the end of a port name tells ports apart) and shown whole in a tooltip. text() is always whole.
class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit TStatusPanel(QWidget* Parent = nullptr) : QLabel(Parent) {}
    void SetText(const QString& Text);
    // Whether the text is too wide for the panel: then it shows cut, whole in its tooltip.
    bool Cut() const;

protected:
    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
};

// The status bar: four panels of fixed widths, left to right.
class TStatusBar : public QFrame {
    Q_OBJECT
public:
    TStatusBar(const std::vector<int>& Widths, QWidget* Parent = nullptr);
    int PanelCount() const { return static_cast<int>(FPanels.size()); }
    TStatusPanel* Panel(int Index) const { return FPanels.at(static_cast<size_t>(Index)); }
    QString PanelText(int Index) const { return Panel(Index)->text(); }
    void SetPanelText(int Index, const QString& Text) { Panel(Index)->SetText(Text); }

private:
    std::vector<TStatusPanel*> FPanels;
};

// A page control whose tabs can be shown and hidden, addressed by their pages.
class TPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* Parent = nullptr);
    void SetTabVisible(QWidget* Page, bool Visible);
    bool TabVisible(QWidget* Page) const;
    // Shows the page at Index; a hidden one selects the next visible page after it.
    void SetActivePageIndex(int Index);
};

// A combo box that signals DropDown just before its list opens, so the list can be read anew.
class TComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TComboBox(QWidget* Parent = nullptr) : QComboBox(Parent) {}
    void showPopup() override;

signals:
    void DropDown();
};

} // namespace kvt::ui
