#include "signal/config_file.h"

#include "datalog/text_file.h"
#include "protocol/word_names.h"
#include "signal/conversion.h"
#include "signal/field_text.h"
#include "signal/model_options.h"
#include "signal/numeric_entry.h"
#include "signal/signal_kind.h"
#include "signal/config_rules.h"
#include "signal/config_error.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

namespace kvt {

namespace {

std::string Trim(const std::string& S)
{
    const auto b = S.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    const auto e = S.find_last_not_of(" \t\r");
    return S.substr(b, e - b + 1);
}

std::string Lower(std::string S)
{
    std::transform(S.begin(), S.end(), S.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return S;
}

TNumInputKind InputKind(int InputMode)
{
    switch (InputMode) {
    case InputModeVoltage:
        return TNumInputKind::nkVoltage;
    case InputModeMillivolt:
        return TNumInputKind::nkMillivolt;
    case InputModePercent:
        return TNumInputKind::nkPercent;
    default:
        return TNumInputKind::nkCurrent;
    }
}

TNumOutputKind OutputKind(int OutputMode)
{
    return OutputMode == OutputModeVoltage ? TNumOutputKind::okVoltage : TNumOutputKind::okCurrent;
}

// Decimals the numeric entry's field holds for the kind.
int InputDecimals(int InputMode)
{
    return InputMode == InputModeMillivolt ? 1 : InputMode == InputModePercent ? 2 : 3;
}

// The masked field's text for a file value: the comma of the masks.
std::string FieldText(const std::string& Value)
{
    std::string s = Value;
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

} // namespace

std::string PlainNumber(std::string Field)
{
    std::replace(Field.begin(), Field.end(), ',', '.');
    std::string sign;
    if (!Field.empty() && (Field[0] == '-' || Field[0] == '+')) {
        if (Field[0] == '-')
            sign = "-";
        Field.erase(0, 1);
    }
    while (Field.size() > 1 && Field[0] == '0' && Field[1] != '.')
        Field.erase(0, 1);
    return sign + Field;
}

namespace {

std::string Number(double V)
{
    std::ostringstream o;
    o << V;
    return o.str();
}

struct TLine {
    std::string Value;
    int Number = 0;
};

[[noreturn]] void Fail(const std::string& Origin, int Line, const std::string& Message)
{
    if (Origin.empty())
        throw EConfigError(TConfigFault::BadValue, Message);
    throw EConfigError(TConfigFault::BadValue, Origin + (Line > 0 ? ":" + std::to_string(Line) : "") + ": " + Message);
}

// "4.000 mA" -> "4.000", checked against the kind's decimals, sign rule and unit.
std::string ParseValue(const std::string& Origin, const std::string& Key, const TLine& L, int Decimals, bool SignAllowed,
                       const std::string& Unit)
{
    const std::string& t = L.Value;
    size_t i = 0;
    std::string number;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
        if (!SignAllowed)
            Fail(Origin, L.Number, Key + ": an output value has no sign, got " + MessageQuote(t));
        if (t[i] == '-')
            number += '-';
        ++i;
    }
    const size_t digits = i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])))
        number += t[i++];
    if (i == digits)
        Fail(Origin, L.Number, Key + ": expected a number, got " + MessageQuote(t));
    if (i < t.size() && (t[i] == '.' || t[i] == ',')) {
        number += '.';
        const size_t start = ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])))
            number += t[i++];
        if (i == start)
            Fail(Origin, L.Number, Key + ": expected digits after the decimal point in " + MessageQuote(t));
        if (static_cast<int>(i - start) > Decimals)
            Fail(Origin, L.Number, Key + ": at most " + std::to_string(Decimals) + " decimals for " + Unit + ", got " + MessageQuote(t));
    }
    const std::string unit = Trim(t.substr(i));
    if (!unit.empty() && unit != Unit)
        Fail(Origin, L.Number, Key + ": the unit is " + Unit + ", not " + MessageQuote(unit));
    // Leading zeros go, so that no length of them reaches a message or the plan.
    const std::string plain = PlainNumber(number);
    // The masked field reads it as the numeric entry will; one it cannot read is refused here.
    const TFieldValue field = ReadMaskField(FieldText(plain));
    if (!field.Ok || plain.size() > 16)
        Fail(Origin, L.Number, Key + ": " + MessageQuote(t) + " is not a number the numeric entry takes");
    return plain;
}

int ParseChoice(const std::string& Origin, const std::string& Key, const TLine& L, int High, const std::string& Meaning)
{
    const std::string& t = L.Value;
    if (t.size() != 1 || t[0] < '0' || t[0] > '0' + High)
        Fail(Origin, L.Number, Key + ": expected " + Meaning + ", got " + MessageQuote(t));
    return t[0] - '0';
}

// The numeric entry's valid ranges: known without a converter. Where(key) gives the origin and
// line a message names.
void CheckRanges(const TProfile& P, const std::function<std::pair<std::string, int>(const std::string&)>& Where)
{
    const std::string inUnit = InputUnit(P.InputMode);
    const TValueRange inRange = NumInputRange(InputKind(P.InputMode));
    for (const auto& [key, value] : {std::pair{"input-begin", P.InBegin}, std::pair{"input-end", P.InEnd}}) {
        const double v = ReadMaskField(FieldText(value)).Value;
        if (v < inRange.Low || v > inRange.High) {
            const auto [origin, line] = Where(key);
            Fail(origin, line, std::string(key) + " " + value + " " + inUnit + " is outside the valid range " +
                    Number(inRange.Low) + " .. " + Number(inRange.High) + " " + inUnit);
        }
    }
    const std::string outUnit = OutputUnit(P.OutputMode);
    const TValueRange outRange = NumOutputRange(OutputKind(P.OutputMode));
    for (const auto& [key, value] : {std::pair{"output-begin", P.OutBegin}, std::pair{"output-end", P.OutEnd}}) {
        const double v = ReadMaskField(FieldText(value)).Value;
        if (v > outRange.High) {
            const auto [origin, line] = Where(key);
            Fail(origin, line, std::string(key) + " " + value + " " + outUnit + " is above the highest " +
                    Number(outRange.High) + " " + outUnit);
        }
    }
}

} // namespace

std::string InputKindName(int InputMode)
{
    switch (InputMode) {
    case InputModeCurrent:
        return "current";
    case InputModeVoltage:
        return "voltage";
    case InputModeMillivolt:
        return "millivolt";
    case InputModePercent:
        return "resistance";
    default:
        return {};
    }
}

std::string OutputKindName(int OutputMode)
{
    return OutputMode == OutputModeCurrent ? "current" : OutputMode == OutputModeVoltage ? "voltage" : "";
}

std::string InputUnit(int InputMode)
{
    return std::string(NumInputMask(InputKind(InputMode)).Unit);
}

std::string OutputUnit(int OutputMode)
{
    return std::string(NumOutputUnit(OutputKind(OutputMode)));
}

TProfile ParseProfile(const std::string& Text, const std::string& Origin)
{
    static const char* const Keys[] = {"input", "input-begin", "input-end", "output", "output-begin", "output-end",
        "filter", "reaction"};
    std::map<std::string, TLine> lines;
    std::istringstream in(Text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const auto hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        line = Trim(line);
        if (line.empty())
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            Fail(Origin, number, "expected key = value, got " + MessageQuote(line));
        const std::string key = Lower(Trim(line.substr(0, eq)));
        if (std::find(std::begin(Keys), std::end(Keys), key) == std::end(Keys))
            Fail(Origin, number, "unknown key " + MessageQuote(Trim(line.substr(0, eq))));
        if (lines.count(key))
            Fail(Origin, number, key + " is given twice (first on line " + std::to_string(lines[key].Number) + ")");
        lines[key] = {Trim(line.substr(eq + 1)), number};
    }
    for (const char* key : Keys)
        if (!lines.count(key))
            Fail(Origin, 0, "\"" + std::string(key) + "\" is missing");

    TProfile p;
    const std::string inKind = Lower(lines["input"].Value);
    for (int mode = InputModeCurrent; mode <= InputModePercent; ++mode)
        if (inKind == InputKindName(mode))
            p.InputMode = mode;
    if (p.InputMode == 0)
        Fail(Origin, lines["input"].Number, "input: expected current, voltage, millivolt or resistance, got " +
                MessageQuote(lines["input"].Value));
    const std::string outKind = Lower(lines["output"].Value);
    p.OutputMode = outKind == "current" ? OutputModeCurrent : outKind == "voltage" ? OutputModeVoltage : 0;
    if (p.OutputMode == 0)
        Fail(Origin, lines["output"].Number, "output: expected current or voltage, got " + MessageQuote(lines["output"].Value));

    const std::string inUnit = InputUnit(p.InputMode);
    const int inDecimals = InputDecimals(p.InputMode);
    p.InBegin = ParseValue(Origin, "input-begin", lines["input-begin"], inDecimals, true, inUnit);
    p.InEnd = ParseValue(Origin, "input-end", lines["input-end"], inDecimals, true, inUnit);
    const std::string outUnit = OutputUnit(p.OutputMode);
    p.OutBegin = ParseValue(Origin, "output-begin", lines["output-begin"], 3, false, outUnit);
    p.OutEnd = ParseValue(Origin, "output-end", lines["output-end"], 3, false, outUnit);

    CheckRanges(p, [&](const std::string& Key) { return std::pair{Origin, lines[Key].Number}; });

    p.FilterType = ParseChoice(Origin, "filter", lines["filter"], 2, "0, 1 or 2");
    p.LimitReaction = ParseChoice(Origin, "reaction", lines["reaction"], 3, "0, 1, 2 or 3");
    return p;
}

TProfile LoadProfile(const std::string& File)
{
    std::string text;
    try {
        text = ReadTextFile(File);
    } catch (const EFileError& e) {
        throw EConfigError(TConfigFault::CannotRead, "cannot read " + File + ": " + e.Reason);
    }
    return ParseProfile(text, File);
}

void CheckProfileTarget(const std::string& File)
{
    try {
        CheckSafeTarget(File);
    } catch (const EFileError& e) {
        throw EConfigError(TConfigFault::CannotWrite, "cannot write " + File + ": " + e.Reason);
    }
}

void WriteProfileFile(const std::string& File, const std::string& Text)
{
    try {
        WriteFileSafely(File, Text);
    } catch (const EFileError& e) {
        throw EConfigError(TConfigFault::CannotWrite, "cannot write " + File + ": " + e.Reason);
    }
}

namespace {

// A comment line as text that stays one line and shows what it holds: control characters (from a
// port's name, say) as \n, \t or \x1b, the C1 controls as \u0085.
std::string CommentText(const std::string& Text)
{
    static const char Hex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const auto c = static_cast<unsigned char>(Text[i]);
        const auto next = i + 1 < Text.size() ? static_cast<unsigned char>(Text[i + 1]) : 0;
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += std::string("\\x") + Hex[c >> 4] + Hex[c & 15];
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += std::string("\\u00") + Hex[next >> 4] + Hex[next & 15];
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace

std::string FormatProfile(const TProfile& P, const std::vector<std::string>& Comment)
{
    std::string t;
    for (const std::string& c : Comment)
        t += "# " + CommentText(c) + "\n";
    const std::string inUnit = InputUnit(P.InputMode);
    const std::string outUnit = OutputUnit(P.OutputMode);
    t += "input = " + InputKindName(P.InputMode) + "\n";
    t += "input-begin = " + P.InBegin + " " + inUnit + "\n";
    t += "input-end = " + P.InEnd + " " + inUnit + "\n";
    t += "output = " + OutputKindName(P.OutputMode) + "\n";
    t += "output-begin = " + P.OutBegin + " " + outUnit + "\n";
    t += "output-end = " + P.OutEnd + " " + outUnit + "\n";
    t += "filter = " + std::to_string(P.FilterType) + "    # " + FilterMeaning(P.FilterType) + "\n";
    t += "reaction = " + std::to_string(P.LimitReaction) + "    # " + ReactionMeaning(P.LimitReaction) + "\n";
    return t;
}

TProfile ProfileFromSettings(const TDeviceSettings& Settings)
{
    RequireUsableConfig(Settings);
    TProfile p;
    p.InputMode = EffectiveInputMode(Settings);
    if (p.InputMode == 0)
        throw EConfigError(TConfigFault::Refused, "InputMode " + std::to_string(Settings.InputMode) +
                " is not a known input kind: there is no input range to save");
    p.OutputMode = EffectiveOutputMode(Settings);
    if (p.OutputMode == 0)
        throw EConfigError(TConfigFault::Refused, "OutputMode " + std::to_string(Settings.OutputMode) +
                " is not a known output kind: there is no output range to save");

    // The numeric range fields, with the kinds in force.
    TDeviceSettings s = Settings;
    s.InputMode = p.InputMode;
    s.OutputMode = p.OutputMode;
    std::string suffix;
    const TFieldTexts in = InputFieldTexts(s, suffix, ".");
    const TFieldTexts out = OutputFieldTexts(s, ".");
    p.InBegin = PlainNumber(in.Begin);
    p.InEnd = PlainNumber(in.End);
    p.OutBegin = PlainNumber(out.Begin);
    p.OutEnd = PlainNumber(out.End);

    // A feature the converter lacks saves as its neutral value.
    const TModelOptions* model = ModelOptions(Settings.DeviceModel);
    p.FilterType = model && !model->FilterVisible ? 0 : Settings.FilterType;
    p.LimitReaction = SignalLimitVisible(Settings.DeviceModel, Settings.FirmwareVersion) ? Settings.LimitReaction : 0;
    if (p.FilterType < 0 || p.FilterType > 2)
        throw EConfigError(TConfigFault::Refused, "FilterType " + std::to_string(p.FilterType) + " is not a known filter");
    if (p.LimitReaction < 0 || p.LimitReaction > 3)
        throw EConfigError(TConfigFault::Refused, "LimitReaction " + std::to_string(p.LimitReaction) + " is not a known reaction");
    // A range field that would not read back (an output below 0) cannot be put onto another converter.
    for (const std::string* v : {&p.OutBegin, &p.OutEnd})
        if (!v->empty() && v->front() == '-')
            throw EConfigError(TConfigFault::Refused, "the output range " + p.OutBegin + " .. " + p.OutEnd + " " + OutputUnit(p.OutputMode) +
                    " goes below 0: the numeric entry cannot take it");
    return p;
}

std::vector<TPlannedWrite> PlanApply(const TProfile& P, const TDeviceSettings& S)
{
    RequireUsableConfig(S);
    const bool dip = ConfigClassOf(S.ConfigType) == TConfigClass::ccDip;
    if (dip && (P.InputMode != EffectiveInputMode(S) || P.OutputMode != EffectiveOutputMode(S)))
        throw EConfigError(TConfigFault::Refused, "the DIP switches of this converter set \"" + std::string(ConfigTypeText(S.ConfigType)) +
                "\" (configuration " + std::to_string(S.ConfigType) + "), the file is for " + InputModeMeaning(P.InputMode) +
                " to " + OutputModeMeaning(P.OutputMode));

    const TEntryResult in = ComputeInputRange(InputKind(P.InputMode), FieldText(P.InBegin), FieldText(P.InEnd), S);
    const std::string inUnit = InputUnit(P.InputMode);
    if (in.Status == TEntryStatus::esBadNumber)
        throw EConfigError(TConfigFault::BadValue, in.Error);
    if (in.Status == TEntryStatus::esEmptyRange)
        throw EConfigError(TConfigFault::BadValue, "input-begin " + P.InBegin + " and input-end " + P.InEnd + " " + inUnit +
                " give the same input word " + std::to_string(in.Begin) + " on this converter: the range has no width");
    if (in.Status != TEntryStatus::esOk) {
        const bool begin = in.Status == TEntryStatus::esBeginOutOfRange;
        throw EConfigError(TConfigFault::Refused, std::string(begin ? "input-begin " + P.InBegin : "input-end " + P.InEnd) + " " + inUnit +
                " does not fit this converter: with its calibration the input word would lie outside 0..65535");
    }
    const TEntryResult out = ComputeOutputRange(OutputKind(P.OutputMode), FieldText(P.OutBegin), FieldText(P.OutEnd), S);
    const std::string outUnit = OutputUnit(P.OutputMode);
    if (out.Status == TEntryStatus::esBadNumber)
        throw EConfigError(TConfigFault::BadValue, out.Error);
    const TModelOptions* model = ModelOptions(S.DeviceModel);
    const int codeMax = model ? model->OutCodeMax : 65535;
    const bool outFits = out.Status == TEntryStatus::esOk || out.Status == TEntryStatus::esEmptyRange;
    for (const auto& [key, value, code, fits] :
         {std::tuple{"output-begin", P.OutBegin, out.Begin, outFits || out.Status == TEntryStatus::esEndOutOfRange},
             std::tuple{"output-end", P.OutEnd, out.End, outFits}}) {
        if (!fits || code > codeMax)
            throw EConfigError(TConfigFault::Refused, std::string(key) + " " + value + " " + outUnit + (fits ? " needs output code " + std::to_string(code) : "") +
                    " beyond this converter's highest output code " + std::to_string(codeMax));
    }
    if (out.Status == TEntryStatus::esEmptyRange)
        throw EConfigError(TConfigFault::BadValue, "output-begin " + P.OutBegin + " and output-end " + P.OutEnd + " " + outUnit +
                " give the same output code " + std::to_string(out.Begin) + " on this converter: the range has no width");

    // What the converter holds already, as the file would say it: a range word that reads as the
    // file's value at the file's precision is left alone, so that a converter's own file writes
    // nothing to it.
    std::optional<TProfile> held;
    try {
        held = ProfileFromSettings(S);
    } catch (const EConfigError&) {
    }
    const bool sameInput = held && held->InputMode == P.InputMode;
    const bool sameOutput = held && held->OutputMode == P.OutputMode;

    std::vector<TPlannedWrite> plan;
    auto add = [&](uint8_t Address, int Old, int New) {
        std::string why;
        const TValueCheck check = CheckWordValue(Address, New, S, why);
        if (check != TValueCheck::vcOk)
            throw EConfigError(check == TValueCheck::vcRefused ? TConfigFault::Refused : TConfigFault::BadValue, why);
        plan.push_back({Address, Old, New, Old != New, Old == New ? "unchanged" : ""});
    };
    // Left alone: a feature the converter lacks when the file asks for its neutral value, a kind
    // word the DIP switches override, a range word that already holds the file's value.
    auto skip = [&](uint8_t Address, int Old, int New, const std::string& Why) {
        plan.push_back({Address, Old, New, false, Why});
    };
    auto same = [](const std::string& A, const std::string& B) {
        return std::fabs(ReadMaskField(FieldText(A)).Value - ReadMaskField(FieldText(B)).Value) < 1e-9;
    };
    auto range = [&](uint8_t Address, int Old, int New, bool Same) {
        if (Old != New && Same)
            skip(Address, Old, Old, "unchanged at the file's precision");
        else
            add(Address, Old, New);
    };
    range(WordInZero, S.InZero, in.Begin, sameInput && same(held->InBegin, P.InBegin));
    range(WordInEnd, S.InEnd, in.End, sameInput && same(held->InEnd, P.InEnd));
    if (dip)
        skip(WordInputMode, S.InputMode, S.InputMode, "unused: the DIP switches set the input kind");
    else
        add(WordInputMode, S.InputMode, P.InputMode);
    range(WordOutZero, S.OutZero, out.Begin, sameOutput && same(held->OutBegin, P.OutBegin));
    range(WordOutEnd, S.OutEnd, out.End, sameOutput && same(held->OutEnd, P.OutEnd));
    if (dip)
        skip(WordOutputMode, S.OutputMode, S.OutputMode, "unused: the DIP switches set the output kind");
    else
        add(WordOutputMode, S.OutputMode, P.OutputMode);
    if (model && !model->FilterVisible && P.FilterType == 0)
        skip(WordFilterType, S.FilterType, P.FilterType, "a KVT27L has no input filter");
    else
        add(WordFilterType, S.FilterType, P.FilterType);
    if (!SignalLimitVisible(S.DeviceModel, S.FirmwareVersion) && P.LimitReaction == 0)
        skip(WordLimitReaction, S.LimitReaction, P.LimitReaction, "this firmware has no out-of-range reaction");
    else
        add(WordLimitReaction, S.LimitReaction, P.LimitReaction);
    return plan;
}

TProfile SavableProfile(const TDeviceSettings& Settings)
{
    const TProfile p = ProfileFromSettings(Settings);
    // Refused here for the reason, and with the fault, that applying it would give.
    CheckRanges(p, [](const std::string&) { return std::pair{std::string(), 0}; });
    PlanApply(p, Settings);
    return p;
}

} // namespace kvt
