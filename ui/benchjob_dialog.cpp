#include "ui/benchjob_dialog.h"

#include "ui/benchjob_texts.h"
#include "ui/errorreport.h"
#include "ui/settings.h"
#include "ui/uiseam.h"
#include "ui/workrecord_pdf.h"

#include "platform/safe_file.h"
#include "signal/config_error.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kvt::ui {

namespace {

template <typename T>
T* Named(T* Object, const char* Name)
{
    Object->setObjectName(QString::fromLatin1(Name));
    return Object;
}

QString Joined(const std::vector<std::string>& Names)
{
    QStringList l;
    for (const std::string& n : Names)
        l << Utf8(n);
    return l.join(QLatin1Char(' '));
}

enum TColumn { ColRow, ColTag, ColConverter, ColResult, ColWritten, ColRecord, ColCount };

} // namespace

TBenchJobDialog::TBenchJobDialog(const QString& PortText, std::function<bool()> PortBusy, QWidget* Parent)
    : QDialog(Parent), FPortBusy(std::move(PortBusy))
{
    setObjectName(QStringLiteral("FrmBenchJob"));
    resize(760, 420);
    auto* grid = new QGridLayout;
    FLblJob = new QLabel(this);
    EdtJobFile = Named(new QLineEdit(this), "EdtBenchJobFile");
    BtnJobFile = Named(new QPushButton(this), "BtnBenchJobFile");
    FLblRecords = new QLabel(this);
    EdtRecords = Named(new QLineEdit(this), "EdtBenchRecords");
    FLblPort = new QLabel(this);
    EdtPort = Named(new QLineEdit(PortText, this), "EdtBenchPort");
    FLblFrom = new QLabel(this);
    SpnFrom = Named(new QSpinBox(this), "SpnBenchFrom");
    SpnFrom->setRange(1, 1000000);
    grid->addWidget(FLblJob, 0, 0);
    grid->addWidget(EdtJobFile, 0, 1);
    grid->addWidget(BtnJobFile, 0, 2);
    grid->addWidget(FLblRecords, 1, 0);
    grid->addWidget(EdtRecords, 1, 1, 1, 2);
    grid->addWidget(FLblPort, 2, 0);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(EdtPort, 1);
    portRow->addWidget(FLblFrom);
    portRow->addWidget(SpnFrom);
    grid->addLayout(portRow, 2, 1, 1, 2);

    LblNext = Named(new QLabel(this), "LblBenchNext");
    QFont big = LblNext->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    LblNext->setFont(big);
    LblNext->setAlignment(Qt::AlignCenter);
    LblNext->setWordWrap(true);
    LblNote = Named(new QLabel(this), "LblBenchNote");
    LblNote->setAlignment(Qt::AlignCenter);
    LblNote->setWordWrap(true);

    TblRows = Named(new QTableWidget(0, ColCount, this), "TblBenchRows");
    TblRows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TblRows->verticalHeader()->hide();
    TblRows->horizontalHeader()->setStretchLastSection(true);
    TblRows->setWordWrap(false);
    for (const auto& [column, width] : {std::pair{ColRow, 50}, std::pair{ColTag, 100}, std::pair{ColConverter, 150},
                                        std::pair{ColResult, 90}, std::pair{ColWritten, 230}})
        TblRows->setColumnWidth(column, width);

    BtnStart = Named(new QPushButton(this), "BtnBenchStart");
    BtnStop = Named(new QPushButton(this), "BtnBenchStop");
    BtnClose = Named(new QPushButton(this), "BtnBenchClose");
    BtnStop->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BtnStart);
    buttons->addWidget(BtnStop);
    buttons->addWidget(BtnClose);

    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addWidget(LblNext);
    all->addWidget(LblNote);
    all->addWidget(TblRows, 1);
    all->addLayout(buttons);

    FTimer = new QTimer(this);
    FTimer->setSingleShot(true);
    connect(FTimer, &QTimer::timeout, this, [this] { RunHandler([this] { Tick(); }); });
    connect(BtnJobFile, &QPushButton::clicked, this, [this] { RunHandler([this] { BtnJobFileClick(); }); });
    connect(BtnStart, &QPushButton::clicked, this, [this] { RunHandler([this] { BtnStartClick(); }); });
    connect(BtnStop, &QPushButton::clicked, this, [this] { RunHandler([this] { BtnStopClick(); }); });
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::close);
}

TBenchJobDialog::~TBenchJobDialog() = default;

void TBenchJobDialog::SetLang(int Lang)
{
    FLang = Lang;
    setWindowTitle(texts::BenchTitle.In(Lang));
    FLblJob->setText(texts::BenchJobFile.In(Lang));
    FLblRecords->setText(texts::BenchRecords.In(Lang));
    FLblPort->setText(texts::BenchPort.In(Lang));
    FLblFrom->setText(texts::BenchFrom.In(Lang));
    BtnJobFile->setText(texts::BenchChoose.In(Lang));
    BtnStart->setText(texts::BenchStart.In(Lang));
    BtnStop->setText(texts::BenchStop.In(Lang));
    BtnClose->setText(texts::BenchClose.In(Lang));
    TblRows->setHorizontalHeaderLabels({texts::BenchColRow.In(Lang), texts::BenchColTag.In(Lang),
                                        texts::BenchColConverter.In(Lang), texts::BenchColResult.In(Lang),
                                        texts::BenchColWritten.In(Lang), texts::BenchColRecord.In(Lang)});
    if (FJob)
        for (std::size_t k = 0; k < FJob->Summary().Rows.size(); ++k)
            ShowRow(k);
    ShowNext();
}

QString TBenchJobDialog::ResultText(TRowResult Result) const
{
    switch (Result) {
    case TRowResult::NotRun:
        return texts::BenchNotRun.In(FLang);
    case TRowResult::Done:
        return texts::BenchResultDone.In(FLang);
    case TRowResult::Skipped:
        return texts::BenchSkipped.In(FLang);
    case TRowResult::Mismatch:
        return texts::BenchMismatch.In(FLang);
    case TRowResult::Failed:
        return texts::BenchFailed.In(FLang);
    case TRowResult::Stopped:
        return texts::BenchStopped.In(FLang);
    }
    return {};
}

void TBenchJobDialog::BtnJobFileClick()
{
    const auto name = OpenFileName(this, texts::BenchFilter.In(FLang), TProgramSettings::FilesFolder());
    if (!name)
        return;
    EdtJobFile->setText(*name);
    if (EdtRecords->text().isEmpty())
        EdtRecords->setText(QFileInfo(*name).absolutePath());
}

void TBenchJobDialog::BtnStartClick()
{
    if (FRunning)
        return;
    // The window's own connection holds the port.
    if (FPortBusy && FPortBusy()) {
        InfoBox(this, texts::BenchCloseConnection.In(FLang));
        return;
    }
    TJob job;
    try {
        // The whole job, and every configuration it names, before the port is touched.
        job = LoadJob(SystemFileName(EdtJobFile->text()));
    } catch (const EConfigError& e) {
        ErrorBox(this, texts::BenchBadJob.In(FLang), FromSystemText(e.what()));
        return;
    }
    TBenchJobOptions options{EdtPort->text().toStdString(), SystemFileName(EdtRecords->text()), SpnFrom->value(), 1000};
    auto run = std::make_unique<TBenchJob>(FModel, std::move(job), options);
    try {
        if (const std::optional<TOpenFailure> failed = run->Start()) {
            ErrorBox(this, texts::BenchBadPort.In(FLang), FromSystemText(failed->Reason));
            return;
        }
    } catch (const EConfigError& e) {
        ErrorBox(this, texts::BenchBadJob.In(FLang), FromSystemText(e.what()));
        return;
    }
    FJob = std::move(run);
    FRunning = true;
    FJob->OnRow = [this](std::size_t Row) { ShowRow(Row); };
    FJob->OnSession = OnSession;
    FJob->OnRecord = [this](const TJobRow& Row, const TWorkRecord& Record) -> std::string {
        const std::string file = RecordPath(SystemFileName(EdtRecords->text()), Row.RecordName, "pdf");
        try {
            const QByteArray pdf = WorkRecordPdf(Record, FLang);
            WriteFileSafely(file, std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
        } catch (const EFileError& e) {
            return "cannot write the record " + file + ": " + e.Reason;
        }
        return {};
    };
    FStopAsked = false;
    TblRows->setRowCount(static_cast<int>(FJob->Summary().Rows.size()));
    for (std::size_t k = 0; k < FJob->Summary().Rows.size(); ++k)
        ShowRow(k);
    for (QWidget* w : std::initializer_list<QWidget*>{EdtJobFile, BtnJobFile, EdtRecords, EdtPort, SpnFrom, BtnStart})
        w->setEnabled(false);
    BtnStop->setEnabled(true);
    ShowNext();
    FTimer->start(0);
}

void TBenchJobDialog::BtnStopClick()
{
    if (!FRunning)
        return;
    FStopAsked = true;
    // Between two steps the job ends at once; inside one (never, as the step runs on this thread)
    // the apply would end before its next word.
    FTimer->stop();
    FJob->Stop(texts::BenchStoppedByUser.In(LangEnglish).toStdString());
    Finished();
}

void TBenchJobDialog::Tick()
{
    if (!FRunning)
        return;
    int wait = -1;
    try {
        wait = FJob->Step([this] { return FStopAsked; });
    } catch (...) {
        FJob->Stop("stopped by an error");
        Finished();
        throw;
    }
    ShowNext();
    if (wait < 0) {
        Finished();
        return;
    }
    FTimer->start(UiSeam().TimerInterval(wait));
}

void TBenchJobDialog::ShowRow(std::size_t Row)
{
    if (!FJob || Row >= FJob->Summary().Rows.size())
        return;
    const TRowReport& r = FJob->Summary().Rows[Row];
    const int row = static_cast<int>(Row);
    auto set = [&](int Column, const QString& Text) {
        auto* item = new QTableWidgetItem(Text);
        TblRows->setItem(row, Column, item);
        return item;
    };
    set(ColRow, QString::number(r.Row));
    set(ColTag, Utf8(r.Tag));
    set(ColConverter, r.Model.empty() ? QString() : Utf8(r.Model + " " + r.Firmware))->setToolTip(Utf8(r.Fingerprint));
    const bool started = !r.Started.empty() && r.Finished.empty();
    // A row still to come shows nothing while the job runs; "not run" once it has ended.
    const bool pending = FRunning && r.Result == TRowResult::NotRun && r.Started.empty();
    set(ColResult, started ? QStringLiteral("…") : pending ? QString() : ResultText(r.Result))->setToolTip(Utf8(r.Reason));
    QString written = Joined(r.Written);
    if (!r.Unknown.empty())
        written += QStringLiteral(" ? ") + Joined(r.Unknown);
    if (!r.NotWritten.empty())
        written += QStringLiteral(" – ") + Joined(r.NotWritten);
    set(ColWritten, written);
    set(ColRecord, QFileInfo(FromSystemText(r.Record)).fileName())->setToolTip(FromSystemText(r.Record));
    TblRows->scrollToItem(TblRows->item(row, 0));
}

void TBenchJobDialog::ShowNext()
{
    if (!FJob) {
        LblNext->setText(texts::BenchReady.In(FLang));
        LblNote->clear();
        return;
    }
    const std::size_t row = FJob->CurrentRow();
    const QString tag = row < FJob->Job().Rows.size() ? Utf8(FJob->Job().Rows[row].Tag) : QString();
    switch (FJob->Next()) {
    case TJobStep::Connect:
        LblNext->setText(texts::BenchConnect.In(FLang).arg(tag));
        break;
    case TJobStep::Work:
        LblNext->setText(texts::BenchWorking.In(FLang).arg(tag));
        break;
    case TJobStep::Unplug:
        LblNext->setText(texts::BenchUnplug.In(FLang).arg(Utf8(FJob->UnplugTag())));
        break;
    case TJobStep::Finished: {
        const TJobSummary& s = FJob->Summary();
        LblNext->setText(s.Complete() ? texts::BenchDone.In(FLang) : texts::BenchStoppedAt.In(FLang).arg(s.StoppedAtRow));
        LblNote->setText(Utf8(s.StopReason + (FJob->SummaryError().empty() ? "" : "; " + FJob->SummaryError())));
        return;
    }
    }
    LblNote->setText(Utf8(FJob->WaitNote()));
}

void TBenchJobDialog::Finished()
{
    ShowNext();
    const TJobSummary& s = FJob->Summary();
    if (!s.Complete())
        SpnFrom->setValue(s.StoppedAtRow);
    // The summary stays on show; the next Start makes a new job.
    FRunning = false;
    FModel.Close();
    for (std::size_t k = 0; k < s.Rows.size(); ++k)
        ShowRow(k);
    for (QWidget* w : std::initializer_list<QWidget*>{EdtJobFile, BtnJobFile, EdtRecords, EdtPort, SpnFrom, BtnStart})
        w->setEnabled(true);
    BtnStop->setEnabled(false);
}

void TBenchJobDialog::closeEvent(QCloseEvent* Event)
{
    RunHandler([this] {
        if (FRunning)
            BtnStopClick();
    });
    QDialog::closeEvent(Event);
}

} // namespace kvt::ui
