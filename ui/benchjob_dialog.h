// The bench job dialog (File menu): a job file run on one port, converter after converter, with
// a table that fills row by row and the next step in large letters. The job (model/bench_job.h)
// moves one step per timer tick, so the window stays live while it waits for a converter to be
// plugged in or out; each converter's record is written as JSON and as PDF.
#pragma once

#include "model/bench_job.h"
#include "model/converter_model.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace kvt::ui {

class TBenchJobDialog : public QDialog {
    Q_OBJECT
public:
    // PortText: the port the main window names, the field's first value. PortBusy: whether the
    // window's own connection holds it now.
    TBenchJobDialog(const QString& PortText, std::function<bool()> PortBusy, QWidget* Parent);
    ~TBenchJobDialog() override;

    void SetLang(int Lang);
    bool Running() const { return FRunning; }
    // The converter the job works on, with a port of its own (tests shorten its time limits).
    TConverterModel& Model() { return FModel; }
    // The job running, or the one that ran last (its summary stays on show); nullptr before.
    const TBenchJob* Job() const { return FJob.get(); }

    QLineEdit* EdtJobFile;
    QPushButton* BtnJobFile;
    QLineEdit* EdtRecords;
    QLineEdit* EdtPort;
    QSpinBox* SpnFrom;
    QLabel* LblNext;
    QLabel* LblNote;
    QTableWidget* TblRows;
    QPushButton* BtnStart;
    QPushButton* BtnStop;
    QPushButton* BtnClose;

    // Each converter the job finishes with, for a device history (set before Start).
    std::function<void(const TJobSession& Session)> OnSession;

    void BtnJobFileClick();
    void BtnStartClick();
    void BtnStopClick();

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void Tick();
    void ShowRow(std::size_t Row);
    void ShowNext();
    void Finished();
    QString ResultText(TRowResult Result) const;

    TConverterModel FModel;
    std::unique_ptr<TBenchJob> FJob;
    bool FRunning = false;
    std::function<bool()> FPortBusy;
    QTimer* FTimer;
    bool FStopAsked = false;
    int FLang = 0;
    QLabel* FLblJob;
    QLabel* FLblRecords;
    QLabel* FLblPort;
    QLabel* FLblFrom;
};

} // namespace kvt::ui
