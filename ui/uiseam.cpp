#include "ui/uiseam.h"

#include "ui/errorreport.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QThread>

namespace kvt::ui {

namespace {

std::unique_ptr<TUiSeam>& Installed()
{
    static std::unique_ptr<TUiSeam> seam;
    return seam;
}

} // namespace

TUiSeam& UiSeam()
{
    auto& seam = Installed();
    if (!seam)
        seam = std::make_unique<TQtUiSeam>();
    return *seam;
}

std::unique_ptr<TUiSeam> SetUiSeam(std::unique_ptr<TUiSeam> Seam)
{
    std::swap(Installed(), Seam);
    return Seam;
}

QString DisplayLineBreaks(const QString& Text)
{
    QString s = Text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

QString QtFileFilter(const QString& Filter)
{
    const QStringList parts = Filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

void TQtUiSeam::ShowBox(QWidget* Parent, TBoxKind Kind, const QString& Text, const QString& Detail)
{
    QMessageBox box(Parent);
    switch (Kind) {
    case TBoxKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case TBoxKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case TBoxKind::Plain:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case TBoxKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case TBoxKind::About:
        box.setIconPixmap(QApplication::windowIcon().pixmap(64));
        break;
    }
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(DisplayLineBreaks(Text));
    if (!Detail.isEmpty())
        box.setDetailedText(DisplayLineBreaks(Detail));
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

std::optional<QString> TQtUiSeam::SaveFileName(QWidget* Parent, const QString& Filter, const QString& Folder)
{
    QFileDialog dialog(Parent, QString(), Folder, QtFileFilter(Filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog asks before it returns the name of an existing file. A name typed without an
    // extension gets the filter's own, so that its question is about the file the export writes.
    const QStringList parts = Filter.split(QLatin1Char('|'));
    if (parts.size() >= 2 && parts[1].startsWith(QStringLiteral("*.")))
        dialog.setDefaultSuffix(parts[1].mid(2).section(QLatin1Char(';'), 0, 0));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString name = dialog.selectedFiles().constFirst();
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

void TQtUiSeam::Sleep(int Ms)
{
    QThread::msleep(static_cast<unsigned long>(Ms > 0 ? Ms : 0));
}

void ErrorBox(QWidget* Parent, const QString& Text, const QString& Detail)
{
    TModalScope modal;
    UiSeam().ShowBox(Parent, TBoxKind::Error, Text, Detail);
}

void WarningBox(QWidget* Parent, const QString& Text)
{
    TModalScope modal;
    UiSeam().ShowBox(Parent, TBoxKind::Warning, Text, QString());
}

void PlainBox(QWidget* Parent, const QString& Text)
{
    TModalScope modal;
    UiSeam().ShowBox(Parent, TBoxKind::Plain, Text, QString());
}

void InfoBox(QWidget* Parent, const QString& Text)
{
    TModalScope modal;
    UiSeam().ShowBox(Parent, TBoxKind::Information, Text, QString());
}

void AboutProgramBox(QWidget* Parent, const QString& Text)
{
    TModalScope modal;
    UiSeam().ShowBox(Parent, TBoxKind::About, Text, QString());
}

void Sleep(int Ms)
{
    UiSeam().Sleep(Ms);
}

} // namespace kvt::ui
