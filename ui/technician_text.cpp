#include "ui/technician_text.h"

#include "protocol/word_names.h"
#include "signal/config_rules.h"
#include "signal/field_text.h"
#include "signal/signal_kind.h"
#include "ui/technician_texts.h"


#include <iterator>
#include <string>

namespace kvt::ui {

namespace {

template <std::size_t N>
QString Choice(const TLangText (&Table)[N], int Index, int Lang)
{
    if (Index < 0 || static_cast<std::size_t>(Index) >= N)
        return QString::number(Index);
    return Table[Index].In(Lang);
}

} // namespace

QString LangNumber(const QString& Plain, int Lang)
{
    QString s = Plain;
    if (Lang != LangEnglish)
        s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

QString WordCaption(uint8_t Address, int Lang)
{
    switch (Address) {
    case WordInputMode:
        return texts::WordInputModeCaption.In(Lang);
    case WordInZero:
        return texts::WordInZeroCaption.In(Lang);
    case WordInEnd:
        return texts::WordInEndCaption.In(Lang);
    case WordOutputMode:
        return texts::WordOutputModeCaption.In(Lang);
    case WordOutZero:
        return texts::WordOutZeroCaption.In(Lang);
    case WordOutEnd:
        return texts::WordOutEndCaption.In(Lang);
    case WordFilterType:
        return texts::WordFilterCaption.In(Lang);
    case WordLimitReaction:
        return texts::WordReactionCaption.In(Lang);
    default:
        return QString::fromStdString(WordName(Address));
    }
}

QString WordMeaningText(uint8_t Address, const TDeviceSettings& Settings, int Lang)
{
    // The ranges in the kinds in force, as the numeric range fields and configuration files show them.
    TDeviceSettings s = Settings;
    s.InputMode = EffectiveInputMode(Settings);
    s.OutputMode = EffectiveOutputMode(Settings);
    auto number = [Lang](const std::string& Field, const std::string& Unit) {
        return LangNumber(QString::fromStdString(PlainNumber(Field)), Lang) + QLatin1Char(' ') + QString::fromStdString(Unit);
    };
    switch (Address) {
    case WordInputMode:
        return Choice(texts::InputKinds, Settings.InputMode - InputModeCurrent, Lang);
    case WordOutputMode:
        return Choice(texts::OutputKinds, Settings.OutputMode - OutputModeCurrent, Lang);
    case WordFilterType:
        return Choice(texts::Filters, Settings.FilterType, Lang);
    case WordLimitReaction:
        return Choice(texts::Reactions, Settings.LimitReaction, Lang);
    case WordInZero:
    case WordInEnd: {
        if (s.InputMode == 0)
            return {};
        std::string suffix;
        const TFieldTexts t = InputFieldTexts(s, suffix, ".");
        if (!t.Fill)
            return {};
        return number(Address == WordInZero ? t.Begin : t.End, InputUnit(s.InputMode));
    }
    case WordOutZero:
    case WordOutEnd: {
        if (s.OutputMode == 0)
            return {};
        const TFieldTexts t = OutputFieldTexts(s, ".");
        if (!t.Fill)
            return {};
        return number(Address == WordOutZero ? t.Begin : t.End, OutputUnit(s.OutputMode));
    }
    default:
        return {};
    }
}

QStringList ChangeLines(const std::vector<TPlannedWrite>& Plan, const TDeviceSettings& Before, int Lang)
{
    TDeviceSettings after = Before;
    for (const TPlannedWrite& w : Plan)
        if (w.Write)
            if (const TSettingsWordRow* row = FindSettingsWord(w.Address))
                after.*(row->Field) = w.New;
    QStringList lines;
    for (const TPlannedWrite& w : Plan) {
        if (!w.Write)
            continue;
        const QString old = WordMeaningText(w.Address, Before, Lang);
        const QString now = WordMeaningText(w.Address, after, Lang);
        const QString words = QString::fromStdString(WordName(w.Address)) + QLatin1Char(' ') + QString::number(w.Old)
            + Utf8(" → ") + QString::number(w.New);
        QString line = WordCaption(w.Address, Lang) + QStringLiteral(": ");
        if (!old.isEmpty() && !now.isEmpty())
            line += old + Utf8(" → ") + now + QStringLiteral("   (") + words + QLatin1Char(')');
        else
            line += words;
        lines << line;
    }
    return lines;
}

} // namespace kvt::ui
