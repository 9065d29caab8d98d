#include "ui/aboutbox.h"

#include "ui/errorreport.h"
#include "ui/helptext.h"
#include "ui/langtext.h"
#include "ui/uifonts.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringList>

namespace kvt::ui {

namespace {
TAboutBox* gAboutBox = nullptr;
}

TAboutBox* AboutBox()
{
    return gAboutBox;
}

TAboutBox::TAboutBox(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      Memo1(new QPlainTextEdit(this)), OKButton(new QPushButton(this))
{
    setObjectName(QStringLiteral("AboutBox"));
    setFont(WindowFont());
    setFixedSize(321, 419);
    setModal(true);

    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 8, 305, 369);
    Memo1->setFont(HelpFont());
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    SetLang(LangCzech);

    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setText(QStringLiteral("OK"));
    OKButton->setGeometry(119, 388, 75, 25);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { RunHandler([this] { OKButtonClick(OKButton); }); });

    if (gAboutBox == nullptr)
        gAboutBox = this;
}

TAboutBox::~TAboutBox()
{
    if (gAboutBox == this)
        gAboutBox = nullptr;
}

void TAboutBox::SetLang(int Lang)
{
    const QString title = HelpTitle.In(Lang);
    if (title == windowTitle())
        return; // the text is already this language's; the reader keeps their place in it
    setWindowTitle(title);
    Memo1->setPlainText(HelpLines(Lang).join(QLatin1Char('\n')));
}

void TAboutBox::OKButtonClick(QObject*)
{
    accept();
}

void TAboutBox::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    OKButton->setFocus(Qt::OtherFocusReason);
}

} // namespace kvt::ui
