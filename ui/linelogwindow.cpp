#include "ui/linelogwindow.h"

#include "platform/safe_file.h"
#include "ui/errorreport.h"
#include "ui/settings.h"
#include "ui/technician_text.h"
#include "ui/technician_texts.h"
#include "ui/uiseam.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <string>

namespace kvt::ui {

TLineLogWindow::TLineLogWindow(TLineLog& Log, std::size_t Lines, QWidget* Parent)
    : QWidget(Parent, Qt::Window), FLog(Log)
{
    setObjectName(QStringLiteral("FrmLineLog"));
    MemoLog = new QPlainTextEdit(this);
    MemoLog->setObjectName(QStringLiteral("MemoLog"));
    MemoLog->setReadOnly(true);
    MemoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    MemoLog->setMaximumBlockCount(static_cast<int>(Lines));
    BtnSaveText = new QPushButton(this);
    BtnSaveText->setObjectName(QStringLiteral("BtnSaveText"));
    BtnClear = new QPushButton(this);
    BtnClear->setObjectName(QStringLiteral("BtnClear"));
    BtnClose = new QPushButton(this);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtnSaveText);
    buttons->addWidget(BtnClear);
    buttons->addStretch(1);
    buttons->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MemoLog, 1);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(BtnSaveText, &QPushButton::clicked, this, [this] { RunHandler([this] { BtnSaveTextClick(); }); });
    connect(BtnClear, &QPushButton::clicked, this, [this] { RunHandler([this] { BtnClearClick(); }); });
    connect(BtnClose, &QPushButton::clicked, this, [this] { close(); });
    SetLang(LangCzech);
}

void TLineLogWindow::SetLang(int Lang)
{
    FLang = Lang;
    setWindowTitle(texts::LogTitle.In(Lang));
    BtnSaveText->setText(texts::LogSave.In(Lang));
    BtnClear->setText(texts::LogClear.In(Lang));
    BtnClose->setText(texts::LogClose.In(Lang));
}

void TLineLogWindow::LogChanged()
{
    // Many transactions in one action make one update, after the action.
    if (FRefreshPending || !isVisible())
        return;
    FRefreshPending = true;
    QTimer::singleShot(0, this, [this] { RunHandler([this] { Refresh(); }); });
}

void TLineLogWindow::showEvent(QShowEvent* Event)
{
    QWidget::showEvent(Event);
    // The view was not kept while hidden: everything the log holds, once. A window shown again
    // from its icon was kept up all along.
    if (!Event->spontaneous()) {
        MemoLog->clear();
        FShownTotal = FLog.Total() - FLog.Size();
    }
    Refresh();
}

void TLineLogWindow::Refresh()
{
    FRefreshPending = false;
    const uint64_t added = FLog.Total() - FShownTotal;
    if (added == 0)
        return;
    // More new transactions than the log kept: the view starts again from what it holds.
    std::size_t from = 0;
    if (added <= FLog.Size())
        from = FLog.Size() - static_cast<std::size_t>(added);
    else
        MemoLog->clear();
    QStringList lines;
    for (const std::string& l : FLog.Lines(from))
        lines << QString::fromStdString(l);
    FShownTotal = FLog.Total();
    if (!lines.isEmpty())
        MemoLog->appendPlainText(lines.join(QLatin1Char('\n')));
}

void TLineLogWindow::BtnClearClick()
{
    FLog.Clear();
    FShownTotal = FLog.Total();
    MemoLog->clear();
}

void TLineLogWindow::BtnSaveTextClick()
{
    const auto name = SaveFileName(this, texts::TextFilter.In(FLang), TProgramSettings::FilesFolder());
    if (!name)
        return;
    TProgramSettings::SetFilesFolder(QFileInfo(*name).absolutePath());
    try {
        WriteFileSafely(SystemFileName(*name), FLog.Text());
    } catch (const EFileError& e) {
        ErrorBox(this, texts::CannotWrite.In(FLang) + QStringLiteral("\r\r") + FromSystemText(e.Reason),
                 QDir::toNativeSeparators(*name));
    }
}

} // namespace kvt::ui
