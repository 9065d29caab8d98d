#include "ui/uiseam.h"

#include "ui/errorreport.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
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

namespace {

// The file the user chose in a dialog run now; nothing when it was cancelled.
std::optional<QString> Chosen(QFileDialog& Dialog)
{
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString name = Dialog.selectedFiles().constFirst();
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

} // namespace

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
    return Chosen(dialog);
}

std::optional<QString> TQtUiSeam::OpenFileName(QWidget* Parent, const QString& Filter, const QString& Folder)
{
    QFileDialog dialog(Parent, QString(), Folder, QtFileFilter(Filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Chosen(dialog);
}

std::optional<int> TQtUiSeam::Choose(QWidget* Parent, const QString& Text, const QStringList& Items)
{
    bool ok = false;
    const QString item = QInputDialog::getItem(Parent, QApplication::applicationDisplayName(), DisplayLineBreaks(Text),
                                               Items, 0, false, &ok);
    const int index = ok ? static_cast<int>(Items.indexOf(item)) : -1;
    return index >= 0 ? std::optional<int>(index) : std::nullopt;
}

bool TQtUiSeam::Ask(QWidget* Parent, const QString& Text, const QString& Detail)
{
    // A message box would wrap the list; each change stays on its line here.
    QDialog dialog(Parent);
    dialog.setObjectName(QStringLiteral("DlgAsk"));
    dialog.setWindowTitle(QApplication::applicationDisplayName());
    auto* icon = new QLabel(&dialog);
    const int size = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
    icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, &dialog).pixmap(size));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    auto* text = new QLabel(DisplayLineBreaks(Text), &dialog);
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    auto* detail = new QLabel(DisplayLineBreaks(Detail), &dialog);
    detail->setTextFormat(Qt::PlainText);
    detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::No, &dialog);
    // Writing to the converter takes a deliberate Yes.
    buttons->button(QDialogButtonBox::No)->setDefault(true);
    buttons->button(QDialogButtonBox::No)->setFocus();
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QGridLayout(&dialog);
    layout->setHorizontalSpacing(16);
    layout->addWidget(icon, 0, 0, 2, 1);
    layout->addWidget(text, 0, 1);
    layout->addWidget(detail, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    detail->setVisible(!Detail.isEmpty());
    return dialog.exec() == QDialog::Accepted;
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

std::string SystemFileName(const QString& Name)
{
#ifdef Q_OS_WIN
    return Name.toUtf8().toStdString();
#else
    return QFile::encodeName(Name).toStdString();
#endif
}

QString FromSystemText(const std::string& Text)
{
#ifdef Q_OS_WIN
    return QString::fromStdString(Text);
#else
    return QString::fromLocal8Bit(Text.c_str());
#endif
}

void Sleep(int Ms)
{
    UiSeam().Sleep(Ms);
}

std::optional<QString> SaveFileName(QWidget* Parent, const QString& Filter, const QString& Folder)
{
    TModalScope modal;
    return UiSeam().SaveFileName(Parent, Filter, Folder);
}

std::optional<QString> OpenFileName(QWidget* Parent, const QString& Filter, const QString& Folder)
{
    TModalScope modal;
    return UiSeam().OpenFileName(Parent, Filter, Folder);
}

bool Ask(QWidget* Parent, const QString& Text, const QString& Detail)
{
    TModalScope modal;
    return UiSeam().Ask(Parent, Text, Detail);
}

std::optional<int> Choose(QWidget* Parent, const QString& Text, const QStringList& Items)
{
    TModalScope modal;
    return UiSeam().Choose(Parent, Text, Items);
}

} // namespace kvt::ui
