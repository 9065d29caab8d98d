// The line's log window (Communication menu): every frame of the session as a line of text, newest
// last, kept up to date while the window is shown. The log itself only collects transactions;
// they become text here, and only while the window is shown.
#pragma once

#include "protocol/line_log.h"

#include <QWidget>

#include <cstddef>
#include <cstdint>

class QPlainTextEdit;
class QPushButton;

namespace kvt::ui {

class TLineLogWindow : public QWidget {
    Q_OBJECT
public:
    // Lines: the most lines the view keeps (the log's transactions take up to three each).
    TLineLogWindow(TLineLog& Log, std::size_t Lines, QWidget* Parent);

    void SetLang(int Lang);
    // The log has new transactions: shown at the next turn of the event loop, when the window is.
    void LogChanged();

    QPlainTextEdit* MemoLog;
    QPushButton* BtnSaveText;
    QPushButton* BtnClear;
    QPushButton* BtnClose;

    // Writes the log as text to a file the user chooses (safely).
    void BtnSaveTextClick();
    void BtnClearClick();

protected:
    void showEvent(QShowEvent* Event) override;

private:
    // Brings the view up to the log: new lines appended, or everything again after a gap.
    void Refresh();

    TLineLog& FLog;
    uint64_t FShownTotal = 0; // the log's Total() when the view was last brought up to it
    bool FRefreshPending = false;
    int FLang = 0;
};

} // namespace kvt::ui
