#include "ui/looptestdialog.h"

#include "signal/config_rules.h"
#include "signal/signal_kind.h"
#include "ui/errorreport.h"
#include "ui/frmmain.h"
#include "ui/uiseam.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvt::ui {

namespace {

constexpr int Percents[5] = {0, 25, 50, 75, 100};

namespace texts {
constexpr TLangText Title{"Zkouška smyčky", "Loop test"};
constexpr TLangText Value{"Hodnota (mA, V nebo %):", "Value (mA, V or %):"};
constexpr TLangText Drive{"Nastavit", "Drive"};
constexpr TLangText Release{"Uvolnit výstup", "Release output"};
constexpr TLangText Close{"Zavřít", "Close"};
constexpr TLangText Released{"Výstup není ovládán.", "The output is not driven."};
constexpr TLangText Driven{"Výstup: %1 (kód %2)", "Output: %1 (code %2)"};
constexpr TLangText BadValue{"Hodnotu nelze nastavit.", "The value cannot be driven."};
} // namespace texts

} // namespace

TLoopTestDialog::TLoopTestDialog(TFrmMain& Main) : QDialog(&Main), FMain(Main), FLoop(Main.Model)
{
    setObjectName(QStringLiteral("FrmLoopTest"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* percents = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        BtnLoop[i] = new QPushButton(QString::number(Percents[i]) + QStringLiteral(" %"), this);
        BtnLoop[i]->setObjectName(QStringLiteral("BtnLoop") + QString::number(Percents[i]));
        BtnLoop[i]->setAutoDefault(false);
        percents->addWidget(BtnLoop[i]);
        connect(BtnLoop[i], &QPushButton::clicked, this, [this, i] { RunHandler([&] { BtnLoopPercentClick(Percents[i]); }); });
    }
    layout->addLayout(percents);
    auto* typed = new QHBoxLayout;
    auto* valueLabel = new QLabel(this);
    valueLabel->setObjectName(QStringLiteral("LblLoopValue"));
    EdtLoopValue = new QLineEdit(this);
    EdtLoopValue->setObjectName(QStringLiteral("EdtLoopValue"));
    BtnLoopDrive = new QPushButton(this);
    BtnLoopDrive->setObjectName(QStringLiteral("BtnLoopDrive"));
    BtnLoopDrive->setDefault(true);
    typed->addWidget(valueLabel);
    typed->addWidget(EdtLoopValue);
    typed->addWidget(BtnLoopDrive);
    layout->addLayout(typed);
    LblLoopDriven = new QLabel(this);
    LblLoopDriven->setObjectName(QStringLiteral("LblLoopDriven"));
    QFont big = LblLoopDriven->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    LblLoopDriven->setFont(big);
    layout->addWidget(LblLoopDriven);
    auto* buttons = new QHBoxLayout;
    BtnLoopRelease = new QPushButton(this);
    BtnLoopRelease->setObjectName(QStringLiteral("BtnLoopRelease"));
    BtnLoopRelease->setAutoDefault(false);
    BtnLoopClose = new QPushButton(this);
    BtnLoopClose->setObjectName(QStringLiteral("BtnLoopClose"));
    BtnLoopClose->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(BtnLoopRelease);
    buttons->addWidget(BtnLoopClose);
    layout->addLayout(buttons);

    connect(BtnLoopDrive, &QPushButton::clicked, this, [this] { RunHandler([this] { BtnLoopDriveClick(); }); });
    connect(EdtLoopValue, &QLineEdit::returnPressed, this, [this] { RunHandler([this] { BtnLoopDriveClick(); }); });
    connect(BtnLoopRelease, &QPushButton::clicked, this, [this] { RunHandler([this] { ReleaseOutput(); }); });
    connect(BtnLoopClose, &QPushButton::clicked, this, [this] { close(); });
    // A connection that ends (a lost line, another converter) ends the test: the port is closed
    // by then, so nothing is left driven that could be given back.
    FSubscription = FMain.Model.Subscribe([this](const TModelChange& Change) {
        if (Change.Kind == TModelChange::TKind::Link && !FMain.Model.Connected() && isVisible()) {
            ReleaseOutput();
            hide();
        }
    });
    SetLang(FMain.ChosenLang());
}

TLoopTestDialog::~TLoopTestDialog()
{
    FMain.Model.Unsubscribe(FSubscription);
    ReleaseOutput();
}

void TLoopTestDialog::SetLang(int Lang)
{
    FLang = Lang;
    setWindowTitle(texts::Title.In(Lang));
    findChild<QLabel*>(QStringLiteral("LblLoopValue"))->setText(texts::Value.In(Lang));
    BtnLoopDrive->setText(texts::Drive.In(Lang));
    BtnLoopRelease->setText(texts::Release.In(Lang));
    BtnLoopClose->setText(texts::Close.In(Lang));
    ShowDriven();
}

void TLoopTestDialog::ShowDriven()
{
    if (!FLoop.Driven()) {
        LblLoopDriven->setText(texts::Released.In(FLang));
        return;
    }
    const TLoopPlan& p = FLoop.Last();
    LblLoopDriven->setText(texts::Driven.In(FLang)
                               .arg(QString::fromStdString(LoopValueText(p, QLocale().decimalPoint().toStdString())))
                               .arg(p.Code));
}

void TLoopTestDialog::ReleaseOutput()
{
    // A port that is closed has taken the drive with it: nothing can be sent, nothing is held.
    if (FLoop.Driven() && FMain.ComPort.Active())
        FLoop.Release();
    else
        FLoop.Forget();
    ShowDriven();
}

void TLoopTestDialog::BtnLoopPercentClick(int Percent)
{
    Drive({static_cast<double>(Percent), TLoopUnit::Percent}, QString::number(Percent) + QStringLiteral(" %"));
}

void TLoopTestDialog::BtnLoopDriveClick()
{
    QString text = EdtLoopValue->text().trimmed();
    // A bare number is in the unit of the output.
    if (!text.isEmpty() && (text.back().isDigit() || text.back() == QLatin1Char('.') || text.back() == QLatin1Char(',')))
        text += EffectiveOutputMode(FMain.DeviceSettings) == OutputModeVoltage ? QStringLiteral("V") : QStringLiteral("mA");
    std::string why;
    const std::optional<TLoopValue> value = ParseLoopValue(text.toStdString(), why);
    if (!value) {
        ErrorBox(this, texts::BadValue.In(FLang), QStringLiteral("\"") + EdtLoopValue->text() + QStringLiteral("\" ") + QString::fromStdString(why));
        return;
    }
    Drive(*value, text);
}

void TLoopTestDialog::Drive(const TLoopValue& Value, const QString& Typed)
{
    if (!FMain.Model.Connected())
        return;
    const TLoopPlan plan = PlanLoopValue(Value, FMain.DeviceSettings, FMain.OutCodeMax);
    if (!plan.Ok()) {
        ErrorBox(this, texts::BadValue.In(FLang), QStringLiteral("\"") + Typed + QStringLiteral("\" ") + QString::fromStdString(plan.Why));
        return;
    }
    const TOutcome o = FLoop.Drive(plan);
    ShowDriven();
    FMain.Need(o);
}

void TLoopTestDialog::closeEvent(QCloseEvent* Event)
{
    ReleaseOutput();
    QDialog::closeEvent(Event);
}

void TLoopTestDialog::hideEvent(QHideEvent* Event)
{
    RunHandler([this] { ReleaseOutput(); });
    QDialog::hideEvent(Event);
}

} // namespace kvt::ui
