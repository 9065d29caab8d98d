// The loop test window (Communication menu): the output forced to 0, 25, 50, 75 or 100 % of its
// range, or to a value typed in mA, V or %, while the control system's reading is checked. The
// value and code driven are shown. Closing it, the end of the connection and closing the main
// window give the output back.
#pragma once

#include "model/loop_test.h"

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kvt::ui {

class TFrmMain;

class TLoopTestDialog : public QDialog {
    Q_OBJECT
public:
    explicit TLoopTestDialog(TFrmMain& Main);
    ~TLoopTestDialog() override;

    void SetLang(int Lang);
    // Gives the output back when it is driven and the port is still open; shows it released.
    void ReleaseOutput();
    bool Driven() const { return FLoop.Driven(); }

    QPushButton* BtnLoop[5];
    QLineEdit* EdtLoopValue;
    QPushButton* BtnLoopDrive;
    QLabel* LblLoopDriven;
    QPushButton* BtnLoopRelease;
    QPushButton* BtnLoopClose;

    // Drives the output at Percent of the output range, or at the value typed (a bare number is
    // in the output's unit).
    void BtnLoopPercentClick(int Percent);
    void BtnLoopDriveClick();

protected:
    void closeEvent(QCloseEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    void Drive(const TLoopValue& Value, const QString& Typed);
    void ShowDriven();

    TFrmMain& FMain;
    TLoopTest FLoop;
    int FLang = 0;
    int FSubscription = 0;
};

} // namespace kvt::ui
