// Small controls of the main window that Qt lacks in the needed form: push buttons that never
// take the focus, the chart image, the sampling timer, the save dialog, the status bar with
// fixed-width panels, and a page control whose tabs can be hidden.
#pragma once

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include "datalog/log_table.h"

#include <array>
#include <vector>

namespace kvt::ui {

enum class TGlyph { Connect, Reload, Measure, MeasureBegin, MeasureEnd, Save, Send, Start, Csv };

// A push button that never takes the keyboard focus, with a small icon that greys out when
// the button is disabled.
class TSpeedButton : public QPushButton {
    Q_OBJECT
public:
    explicit TSpeedButton(TGlyph Glyph, QWidget* Parent = nullptr);
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
    QString Filter;   // "Description|*.ext"
    QString FileName; // set by a successful Execute
    bool Execute(QWidget* Owner);
};

// The status bar: four panels of fixed widths, left to right.
class TStatusBar : public QFrame {
    Q_OBJECT
public:
    TStatusBar(const std::vector<int>& Widths, QWidget* Parent = nullptr);
    int PanelCount() const { return static_cast<int>(FPanels.size()); }
    QLabel* Panel(int Index) const { return FPanels.at(static_cast<size_t>(Index)); }
    QString PanelText(int Index) const { return Panel(Index)->text(); }
    void SetPanelText(int Index, const QString& Text) { Panel(Index)->setText(Text); }

private:
    std::vector<QLabel*> FPanels;
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

} // namespace kvt::ui
