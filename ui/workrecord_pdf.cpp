#include "ui/workrecord_pdf.h"

#include "protocol/commands.h"
#include "protocol/identity.h"
#include "signal/config_file.h"
#include "signal/conversion.h"
#include "signal/signal_kind.h"
#include "ui/technician_text.h"
#include "ui/technician_texts.h"

#include "kvt_version.h"

#include <QBuffer>
#include <QDateTime>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <chrono>
#include <string>

namespace kvt::ui {

namespace {

QString Esc(const QString& Text)
{
    return Text.toHtmlEscaped();
}

QDateTime DateTimeOf(std::chrono::system_clock::time_point T)
{
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(T.time_since_epoch()).count());
}

QString DateTimeText(std::chrono::system_clock::time_point T, int Lang)
{
    return DateTimeOf(T).toString(Lang == LangEnglish ? QStringLiteral("yyyy-MM-dd HH:mm:ss")
                                                      : QStringLiteral("d. M. yyyy H:mm:ss"));
}

QString ConfigText(int ConfigType, int Lang)
{
    QString text = QString::number(ConfigType);
    if (ConfigType == ConfigTypePc)
        return text + Utf8(" – ") + texts::RecordPcConfig.In(Lang);
    const std::string_view name = Lang == LangEnglish ? ConfigTypeTextEnglish(ConfigType) : ConfigTypeText(ConfigType);
    if (!name.empty())
        text += Utf8(" – ") + Utf8(name);
    return text;
}

// A side of a settings row in the language: kinds and choices by name, numbers with its separator.
QString RowSide(const TRecordRow& Row, const std::string& Side, int Lang)
{
    if (Side.empty())
        return Utf8("—");
    const QString s = QString::fromStdString(Side);
    if (Row.Key == "input")
        for (int mode = InputModeCurrent; mode <= InputModePercent; ++mode)
            if (Side == InputKindName(mode))
                return texts::InputKinds[mode - InputModeCurrent].In(Lang);
    if (Row.Key == "output")
        for (int mode = OutputModeCurrent; mode <= OutputModeVoltage; ++mode)
            if (Side == OutputKindName(mode))
                return texts::OutputKinds[mode - OutputModeCurrent].In(Lang);
    if (Row.Key == "filter" || Row.Key == "reaction") {
        bool ok = false;
        const int v = s.toInt(&ok);
        if (ok && Row.Key == "filter" && v >= 0 && v <= 2)
            return s + Utf8(" – ") + texts::Filters[v].In(Lang);
        if (ok && Row.Key == "reaction" && v >= 0 && v <= 3)
            return s + Utf8(" – ") + texts::Reactions[v].In(Lang);
        return s;
    }
    // A range: its number, and the unit when the row does not carry one for both sides.
    const QString number = LangNumber(s, Lang);
    return Row.Unit.empty() ? number : number + QLatin1Char(' ') + QString::fromStdString(Row.Unit);
}

QString RowCaption(const std::string& Key, int Lang)
{
    const struct {
        const char* Key;
        uint8_t Word;
    } words[] = {{"input", WordInputMode}, {"input-begin", WordInZero}, {"input-end", WordInEnd},
                 {"output", WordOutputMode}, {"output-begin", WordOutZero}, {"output-end", WordOutEnd},
                 {"filter", WordFilterType}, {"reaction", WordLimitReaction}};
    for (const auto& w : words)
        if (Key == w.Key)
            return WordCaption(w.Word, Lang);
    return QString::fromStdString(Key);
}

QString MeasurementValue(const TRecordMeasurement& M, int Lang)
{
    const std::string sep = Lang == LangEnglish ? "." : ",";
    const QString number = M.Millivolt
        ? QString::fromStdString(ValueText(ConfigTypePc, InputModeMillivolt, M.Value, sep))
        : QString::number(M.Value);
    return number + QLatin1Char(' ') + QString::fromStdString(M.Unit);
}

// The measurements the record shows: the latest, so that a long session stays a few pages.
constexpr std::size_t MeasurementsShown = 200;

} // namespace

QString WorkRecordHtml(const TWorkRecord& R, int Lang)
{
    auto t = [Lang](const TLangText& Text) { return Esc(Text.In(Lang)); };
    QString h;
    h += QStringLiteral("<html><body>");
    h += QStringLiteral("<h2>") + t(texts::RecordTitle) + QStringLiteral("</h2>");

    // What the converter is.
    h += QStringLiteral("<table cellspacing='0' cellpadding='3'>");
    auto field = [&h](const QString& Caption, const QString& Value) {
        h += QStringLiteral("<tr><td><b>") + Caption + QStringLiteral("</b></td><td>") + Esc(Value) + QStringLiteral("</td></tr>");
    };
    field(t(texts::RecordDate), DateTimeText(R.Time, Lang));
    field(t(texts::RecordPort), QString::fromStdString(R.Port));
    if (!R.Tag.empty())
        field(t(texts::RecordTag), QString::fromStdString(R.Tag));
    field(t(texts::RecordModel), QString::fromStdString(ModelName(R.AsFound.DeviceModel)));
    field(t(texts::RecordFirmware), QString::fromStdString(FirmwareVersionText(R.AsFound.FirmwareVersion)));
    field(t(texts::RecordTemperature), R.TemperatureC ? QString::number(*R.TemperatureC) + Utf8(" °C")
                                                      : texts::RecordNoTemperature.In(Lang));
    field(t(texts::RecordConfig), ConfigText(R.AsLeft.ConfigType, Lang));
    h += QStringLiteral("</table>");

    // The settings side by side.
    h += QStringLiteral("<h3>") + t(texts::RecordSettings) + QStringLiteral("</h3>");
    h += QStringLiteral("<table border='1' cellspacing='0' cellpadding='4' width='100%'>");
    h += QStringLiteral("<tr><th align='left'>") + t(texts::RecordSetting) + QStringLiteral("</th><th align='left'>")
        + t(texts::RecordAsFound) + QStringLiteral("</th><th align='left'>") + t(texts::RecordAsLeft) + QStringLiteral("</th></tr>");
    bool anyChanged = false;
    for (const TRecordRow& row : SettingsRows(R.AsFound, R.AsLeft)) {
        const bool changed = row.Changed();
        anyChanged = anyChanged || changed;
        h += QStringLiteral("<tr><td>") + Esc(RowCaption(row.Key, Lang)) + (changed ? QStringLiteral(" *") : QString())
            + QStringLiteral("</td><td>") + Esc(RowSide(row, row.AsFound, Lang)) + QStringLiteral("</td><td>")
            + (changed ? QStringLiteral("<b>") : QString()) + Esc(RowSide(row, row.AsLeft, Lang))
            + (changed ? QStringLiteral("</b>") : QString()) + QStringLiteral("</td></tr>");
    }
    h += QStringLiteral("</table>");
    if (anyChanged)
        h += QStringLiteral("<p>") + t(texts::RecordChanged) + QStringLiteral("</p>");

    // The calibration measurements of the session.
    h += QStringLiteral("<h3>") + t(texts::RecordMeasurements) + QStringLiteral("</h3>");
    if (R.Measurements.empty()) {
        h += QStringLiteral("<p>") + t(texts::RecordNoMeasurements) + QStringLiteral("</p>");
    } else {
        const std::size_t first = R.Measurements.size() > MeasurementsShown ? R.Measurements.size() - MeasurementsShown : 0;
        if (first > 0)
            h += QStringLiteral("<p>") + t(texts::RecordEarlierOmitted).arg(first) + QStringLiteral("</p>");
        h += QStringLiteral("<table border='1' cellspacing='0' cellpadding='4' width='100%'>");
        h += QStringLiteral("<tr><th align='left'>") + t(texts::RecordTime) + QStringLiteral("</th><th align='left'>")
            + t(texts::RecordMeasurement) + QStringLiteral("</th><th align='right'>") + t(texts::RecordRaw)
            + QStringLiteral("</th><th align='right'>") + t(texts::RecordValue) + QStringLiteral("</th></tr>");
        for (std::size_t i = first; i < R.Measurements.size(); ++i) {
            const TRecordMeasurement& m = R.Measurements[i];
            const int kind = m.Parameter == MeasureStoreZero ? 0 : m.Parameter == MeasureStoreEnd ? 1 : 2;
            h += QStringLiteral("<tr><td>") + Esc(DateTimeOf(m.Time).toString(QStringLiteral("HH:mm:ss")))
                + QStringLiteral("</td><td>") + t(texts::MeasureKinds[kind]) + QStringLiteral("</td><td align='right'>")
                + QString::number(m.Raw) + QStringLiteral("</td><td align='right'>") + Esc(MeasurementValue(m, Lang))
                + QStringLiteral("</td></tr>");
        }
        h += QStringLiteral("</table>");
    }

    // The technician's lines, to be filled in by hand.
    const QString line = QStringLiteral("<td width='70%' style='border-bottom: 1px solid black'>&nbsp;</td>");
    h += QStringLiteral("<br><br><table cellspacing='0' cellpadding='6' width='100%'><tr><td>") + t(texts::RecordTechnician)
        + QStringLiteral("</td>") + line + QStringLiteral("</tr><tr><td><br>") + t(texts::RecordSignature) + QStringLiteral("</td>")
        + line + QStringLiteral("</tr></table><br>");
    h += QStringLiteral("<p><small>") + t(texts::RecordProgram).arg(QString::fromLatin1(kvt::ProgramVersion))
        + QStringLiteral("</small></p>");
    h += QStringLiteral("</body></html>");
    return h;
}

QByteArray WorkRecordPdf(const TWorkRecord& Record, int Lang)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        // The document keeps margins of its own when it is printed.
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        pdf.setResolution(300);
        pdf.setTitle(texts::RecordTitle.In(Lang) + QStringLiteral(" ") + QString::fromStdString(ModelName(Record.AsFound.DeviceModel)));
        pdf.setCreator(QStringLiteral("kvt27-config ") + QString::fromLatin1(kvt::ProgramVersion));
        QTextDocument doc;
        QFont font = QGuiApplication::font();
        font.setPointSizeF(10);
        doc.setDefaultFont(font);
        doc.setHtml(WorkRecordHtml(Record, Lang));
        doc.print(&pdf);
    }
    buffer.close();
    return bytes;
}

} // namespace kvt::ui
