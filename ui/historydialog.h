// The converter's history window (File menu): the tag, customer or place and note the user types
// for the converter connected, and the sessions its register holds.
#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kvt::ui {

class TFrmMain;

class THistoryDialog : public QDialog {
    Q_OBJECT
public:
    explicit THistoryDialog(TFrmMain& Main);

    void SetLang(int Lang);
    // Shows the register of the converter connected.
    void Refresh();

    QLineEdit* EdtHistoryTag;
    QLineEdit* EdtHistoryPlace;
    QLineEdit* EdtHistoryNote;
    QPlainTextEdit* MemoHistory;
    QPushButton* BtnHistorySave;
    QPushButton* BtnHistoryClose;

    // Keeps the three texts in the register (a line of its own).
    void BtnHistorySaveClick();

private:
    TFrmMain& FMain;
    int FLang = 0;
};

} // namespace kvt::ui
