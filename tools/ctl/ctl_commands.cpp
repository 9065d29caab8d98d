// The commands of kvt27ctl.
#include "tools/ctl/ctl.h"

#include "datalog/csv_export.h"
#include "datalog/file_open.h"
#include "datalog/log_table.h"
#include "datalog/sample_text.h"
#include "protocol/identity.h"
#include "protocol/word_names.h"
#include "serial/comport.h"
#include "signal/conversion.h"
#include "signal/field_text.h"
#include "signal/numeric_entry.h"
#include "signal/number_format.h"
#include "signal/signal_kind.h"
#include "tools/ctl/ctl_profile.h"
#include "tools/ctl/ctl_rules.h"
#include "tools/ctl/ctl_session.h"
#include "serial/portlist.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

namespace kvt::ctl {

namespace {

using Clock = std::chrono::steady_clock;

struct TArgs {
    std::string Command;
    std::string Port;
    bool Json = false;
    bool DryRun = false;
    bool Help = false;
    std::string Count;
    std::string Period;
    std::string Csv;
    std::vector<std::string> Positional;
    std::set<std::string> Given; // options given, for the per-command check
};

[[noreturn]] void Usage(const std::string& Message)
{
    throw ECtlError(ExitUsage, Message);
}

bool LooksNegative(const std::string& A)
{
    return A.size() > 1 && A[0] == '-' && (std::isdigit(static_cast<unsigned char>(A[1])) || A[1] == '.');
}

TArgs ParseArgs(const std::vector<std::string>& Args)
{
    TArgs a;
    bool options = true;
    for (size_t i = 0; i < Args.size(); ++i) {
        std::string arg = Args[i];
        if (!options || arg.empty() || arg[0] != '-' || arg == "-" || LooksNegative(arg)) {
            if (a.Command.empty())
                a.Command = arg;
            else
                a.Positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options = false;
            continue;
        }
        std::string value;
        bool hasValue = false;
        const auto eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.erase(eq);
            hasValue = true;
        }
        auto take = [&]() -> std::string {
            if (hasValue)
                return value;
            if (i + 1 >= Args.size())
                Usage(arg + " needs a value");
            return Args[++i];
        };
        auto flag = [&] {
            if (hasValue)
                Usage(arg + " takes no value");
        };
        if (arg == "-h" || arg == "--help") {
            flag();
            a.Help = true;
            continue;
        }
        if (arg == "-p" || arg == "--port") {
            a.Port = take();
            a.Given.insert("--port");
        } else if (arg == "--json") {
            flag();
            a.Json = true;
            a.Given.insert(arg);
        } else if (arg == "--dry-run" || arg == "-n") {
            flag();
            a.DryRun = true;
            a.Given.insert("--dry-run");
        } else if (arg == "--count") {
            a.Count = take();
            a.Given.insert(arg);
        } else if (arg == "--period") {
            a.Period = take();
            a.Given.insert(arg);
        } else if (arg == "--csv") {
            a.Csv = take();
            a.Given.insert(arg);
        } else {
            Usage("unknown option " + arg + " (see kvt27ctl --help)");
        }
    }
    return a;
}

struct TCommandShape {
    std::set<std::string> Options;
    size_t Positional;
    const char* PositionalHelp;
};

const std::map<std::string, TCommandShape>& Commands()
{
    static const std::map<std::string, TCommandShape> commands = {
        {"ports", {{}, 0, ""}},
        {"info", {{"--port", "--json"}, 0, ""}},
        {"read", {{"--port", "--json"}, 0, ""}},
        {"write", {{"--port"}, 2, "a word name and a value"}},
        {"measure", {{"--port", "--count", "--period", "--csv"}, 0, ""}},
        {"save", {{"--port"}, 1, "a file name"}},
        {"apply", {{"--port", "--dry-run"}, 1, "a file name"}},
    };
    return commands;
}

long long ParseInteger(const std::string& What, const std::string& Text, long long Low, long long High)
{
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(Text.c_str(), &end, 10);
    if (Text.empty() || *end != '\0' || errno == ERANGE || std::isspace(static_cast<unsigned char>(Text[0])))
        Usage(What + ": expected a whole number, got \"" + Text + "\"");
    if (v < Low || v > High)
        Usage(What + " " + Text + " is out of range " + std::to_string(Low) + ".." + std::to_string(High));
    return v;
}

// "1", "0.5", "30 s", "2 min" -> milliseconds.
int ParsePeriod(const std::string& Text)
{
    std::string t = Text;
    double scale = 1000;
    size_t numberEnd = t.find_first_not_of("0123456789.");
    std::string unit = numberEnd == std::string::npos ? "" : t.substr(numberEnd);
    unit.erase(0, unit.find_first_not_of(' '));
    const std::string number = t.substr(0, numberEnd);
    if (unit == "min")
        scale = 60000;
    else if (!unit.empty() && unit != "s" && unit != "sec")
        Usage("--period: expected seconds such as 1, 0.5 or \"2 min\", got \"" + Text + "\"");
    char* end = nullptr;
    const double v = std::strtod(number.c_str(), &end);
    if (number.empty() || *end != '\0' || !std::isfinite(v))
        Usage("--period: expected seconds such as 1, 0.5 or \"2 min\", got \"" + Text + "\"");
    const double ms = std::round(v * scale);
    if (ms < 100 || ms > 86400000)
        Usage("--period " + Text + " is out of range 0.1 s .. 24 h");
    return static_cast<int>(ms);
}

// The program's period text when the period is one of its items, the same style otherwise.
std::string PeriodText(int Ms)
{
    for (const TPeriodItem& item : DatalogPeriods)
        if (item.IntervalMs == Ms)
            return std::string(item.Text);
    if (Ms % 60000 == 0)
        return std::to_string(Ms / 60000) + " min";
    return FormatFloat("0.###", Ms / 1000.0, ".") + " sec";
}

std::string Json(const std::string& S)
{
    std::string o = "\"";
    for (const char ch : S) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            o += '\\';
            o += ch;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            o += buf;
        } else {
            o += ch;
        }
    }
    return o + "\"";
}

class TCommandRunner {
public:
    TCommandRunner(const TArgs& Args, TCtlContext& Context) : A(Args), C(Context) {}

    int Run()
    {
        const std::string& cmd = A.Command;
        if (cmd == "ports")
            return Ports();
        if (cmd == "info")
            return Info();
        if (cmd == "read")
            return Read();
        if (cmd == "write")
            return Write();
        if (cmd == "measure")
            return Measure();
        if (cmd == "save")
            return Save();
        return Apply();
    }

private:
    TCtlSession& Connect(bool LoadWords)
    {
        if (A.Port.empty())
            Usage("no port given (--port NAME; \"kvt27ctl ports\" lists them)");
        FSession = std::make_unique<TCtlSession>(A.Port);
        FSession->Open();
        FSession->Identify();
        if (LoadWords)
            FSession->LoadSettings();
        return *FSession;
    }

    int Ports()
    {
        const std::vector<std::string> ports = ProgramPortList(C.SimRegistryDir);
        for (const std::string& p : ports)
            C.Out << p << "\n";
        if (ports.empty())
            C.Err << "kvt27ctl: no serial ports found\n";
        return ExitOk;
    }

    void Identity(std::vector<std::pair<std::string, std::string>>& Lines, const TCtlSession& S)
    {
        const TDeviceSettings& d = S.Settings;
        Lines.push_back({"port", S.Device()});
        Lines.push_back({"model", ModelName(d.DeviceModel)});
        Lines.push_back({"firmware", FirmwareVersionText(d.FirmwareVersion)});
        if (S.TemperatureC)
            Lines.push_back({"temperature", std::to_string(*S.TemperatureC) + " \xC2\xB0" "C"});
        Lines.push_back({"configuration", std::to_string(d.ConfigType) + "  " + ConfigTypeDescription(d.ConfigType)});
    }

    std::string IdentityJson(const TCtlSession& S)
    {
        const TDeviceSettings& d = S.Settings;
        std::string j = "\"port\": " + Json(S.Device()) + ", \"model\": " + Json(ModelName(d.DeviceModel)) +
            ", \"device_model\": " + std::to_string(d.DeviceModel) + ", \"firmware\": " + std::to_string(d.FirmwareVersion) +
            ", \"firmware_text\": " + Json(FirmwareVersionText(d.FirmwareVersion)) + ", \"temperature_c\": " +
            (S.TemperatureC ? std::to_string(*S.TemperatureC) : std::string("null")) +
            ", \"config_type\": " + std::to_string(d.ConfigType) + ", \"config_text\": " + Json(ConfigTypeDescription(d.ConfigType));
        return j;
    }

    void PrintLines(const std::vector<std::pair<std::string, std::string>>& Lines)
    {
        for (const auto& [key, value] : Lines)
            C.Out << std::left << std::setw(15) << key << value << "\n";
    }

    int Info()
    {
        TCtlSession& s = Connect(false);
        if (A.Json) {
            C.Out << "{" << IdentityJson(s) << "}\n";
            return ExitOk;
        }
        std::vector<std::pair<std::string, std::string>> lines;
        Identity(lines, s);
        PrintLines(lines);
        return ExitOk;
    }

    struct TRanges {
        bool Input = false;
        std::string InUnit;           // " uA" as the labels have it
        int InBeginValue = 0, InEndValue = 0;
        std::string InBeginLabel, InEndLabel;
        std::string InBeginField, InEndField, InFieldUnit;
        bool Output = false;
        std::string OutBeginField, OutEndField, OutUnit;
    };

    // The ranges as the program shows them: the range labels of the load and the numeric fields.
    TRanges Ranges(const TDeviceSettings& Settings)
    {
        TRanges r;
        TDeviceSettings s = Settings;
        std::string suffix;
        if (SignalKindOf(s.ConfigType, s.InputMode) != TSignalKind::skNone) {
            r.Input = true;
            r.InBeginValue = NormalizeValueAD(s, s.InZero, suffix);
            r.InBeginLabel = MeasurementText(s.ConfigType, s.InputMode, r.InBeginValue, suffix, C.DecimalSeparator);
            r.InEndValue = NormalizeValueAD(s, s.InEnd, suffix);
            r.InEndLabel = MeasurementText(s.ConfigType, s.InputMode, r.InEndValue, suffix, C.DecimalSeparator);
            r.InUnit = suffix;
            s.InputMode = EffectiveInputMode(Settings);
            const TFieldTexts in = InputFieldTexts(s, suffix);
            r.InBeginField = in.Begin;
            r.InEndField = in.End;
            r.InFieldUnit = InputUnit(s.InputMode);
        }
        s.OutputMode = EffectiveOutputMode(Settings);
        if (s.OutputMode != 0) {
            const TFieldTexts out = OutputFieldTexts(s);
            r.Output = true;
            r.OutBeginField = out.Begin;
            r.OutEndField = out.End;
            r.OutUnit = OutputUnit(s.OutputMode);
        }
        return r;
    }

    int Read()
    {
        TCtlSession& s = Connect(true);
        const TDeviceSettings& d = s.Settings;
        const TRanges r = Ranges(d);
        auto word = [&](uint8_t Address) {
            switch (Address) {
            case WordInputMode: return d.InputMode;
            case WordOutputMode: return d.OutputMode;
            case WordFilterType: return d.FilterType;
            case WordInZero: return d.InZero;
            case WordInEnd: return d.InEnd;
            case WordOutZero: return d.OutZero;
            case WordOutEnd: return d.OutEnd;
            case WordLimitReaction: return d.LimitReaction;
            case WordCalIn0mA: return d.CalIn0mA;
            case WordCalIn20mA: return d.CalIn20mA;
            case WordCalOut0mA: return d.CalOut0mA;
            case WordCalOut20mA: return d.CalOut20mA;
            case WordCalIn0V: return d.CalIn0V;
            case WordCalIn10V: return d.CalIn10V;
            case WordCalOut0V: return d.CalOut0V;
            default: return d.CalOut10V;
            }
        };
        if (A.Json) {
            std::string j = "{" + IdentityJson(s) + ", \"words\": {";
            bool first = true;
            for (const TWordName& w : SettingsWordNames) {
                j += (first ? "" : ", ") + Json(w.Name) + ": " + std::to_string(word(w.Address));
                first = false;
            }
            j += "}, \"input\": ";
            if (r.Input) {
                const bool mv = IsMillivoltInput(d.ConfigType, d.InputMode);
                auto number = [&](int V) { return mv ? FormatFloat("0.##", V / 100.0, ".") : std::to_string(V); };
                std::string unit = r.InUnit;
                unit.erase(0, unit.find_first_not_of(' '));
                j += "{\"kind\": " + Json(InputKindName(EffectiveInputMode(d))) + ", \"unit\": " + Json(unit) +
                    ", \"begin\": " + number(r.InBeginValue) + ", \"end\": " + number(r.InEndValue) +
                    ", \"begin_text\": " + Json(r.InBeginLabel) + ", \"end_text\": " + Json(r.InEndLabel) +
                    ", \"field_unit\": " + Json(r.InFieldUnit) + ", \"begin_field\": " + Json(r.InBeginField) +
                    ", \"end_field\": " + Json(r.InEndField) + "}";
            } else {
                j += "null";
            }
            j += ", \"output\": ";
            if (r.Output)
                j += "{\"kind\": " + Json(OutputKindName(EffectiveOutputMode(d))) + ", \"unit\": " + Json(r.OutUnit) +
                    ", \"begin\": " + PlainNumber(r.OutBeginField) + ", \"end\": " + PlainNumber(r.OutEndField) +
                    ", \"begin_field\": " + Json(r.OutBeginField) + ", \"end_field\": " + Json(r.OutEndField) + "}";
            else
                j += "null";
            C.Out << j << "}\n";
            return ExitOk;
        }

        std::vector<std::pair<std::string, std::string>> lines;
        Identity(lines, s);
        PrintLines(lines);
        C.Out << "\naddress  " << std::left << std::setw(14) << "word" << std::right << std::setw(6) << "value" << "  meaning\n";
        for (const TWordName& w : SettingsWordNames) {
            const int v = word(w.Address);
            const std::string meaning = WordMeaning(w.Address, v);
            C.Out << std::right << std::setw(7) << int(w.Address) << "  " << std::left << std::setw(14) << w.Name
                  << std::right << std::setw(6) << v << (meaning.empty() ? "" : "  " + meaning) << "\n";
        }
        C.Out << "\n";
        if (r.Input)
            C.Out << "input range    " << r.InBeginLabel << " .. " << r.InEndLabel << "   (numeric entry "
                  << r.InBeginField << " .. " << r.InEndField << " " << r.InFieldUnit << ")\n";
        else
            C.Out << "input range    none: no conversion for configuration " << d.ConfigType << " with InputMode "
                  << d.InputMode << "\n";
        if (r.Output)
            C.Out << "output range   " << r.OutBeginField << " .. " << r.OutEndField << " " << r.OutUnit << "\n";
        else
            C.Out << "output range   none: OutputMode " << d.OutputMode << " is not a known output kind\n";
        return ExitOk;
    }

    int Write()
    {
        const std::string& name = A.Positional[0];
        const int address = WordAddressByName(name);
        if (address < 0)
            Usage("unknown word \"" + name + "\" (see kvt27ctl write --help)");
        if (!WritableWord(static_cast<uint8_t>(address)))
            Usage(WordName(static_cast<uint8_t>(address)) + " is a calibration word: it is never written");
        const long long value = ParseInteger(WordName(static_cast<uint8_t>(address)), A.Positional[1], 0, 65535);
        // What is wrong on every converter is refused before the port is touched: checked as for
        // a KVT27 in configuration 0 with new firmware, which allows the most.
        TDeviceSettings widest;
        widest.DeviceModel = ModelKVT27;
        widest.FirmwareVersion = 2000000000;
        std::string why;
        if (CheckWordValue(static_cast<uint8_t>(address), value, widest, why) == ExitUsage)
            Usage(why);

        TCtlSession& s = Connect(false);
        RequireUsableConfig(s.Settings);
        const int status = CheckWordValue(static_cast<uint8_t>(address), value, s.Settings, why);
        if (status != ExitOk)
            throw ECtlError(status, why);
        const uint16_t old = s.ReadWord(static_cast<uint8_t>(address));
        s.WriteWord(static_cast<uint8_t>(address), static_cast<uint16_t>(value));
        const std::string meaning = WordMeaning(static_cast<uint8_t>(address), static_cast<int>(value));
        C.Out << WordName(static_cast<uint8_t>(address)) << " (" << address << "): " << old << " -> " << value
              << (meaning.empty() ? "" : "  " + meaning) << "\n";
        if ((address == WordInZero || address == WordInEnd) && NeedsPowerCycle(s.Settings.FirmwareVersion))
            C.Err << "kvt27ctl: note: " << MsgPowerCycleText << "\n";
        return ExitOk;
    }

    bool Stopped() const { return C.Stop != nullptr && C.Stop->load(); }

    int Measure()
    {
        const bool record = A.Given.count("--count") || A.Given.count("--csv");
        const int count = A.Count.empty() ? 1 : static_cast<int>(ParseInteger("--count", A.Count, 1, 100000000));
        const int periodMs = A.Period.empty() ? 1000 : ParsePeriod(A.Period);
        if (!record && A.Given.count("--period"))
            Usage("--period goes with --count or --csv");

        TCtlSession& s = Connect(true);
        const TDeviceSettings& d = s.Settings;
        if (SignalKindOf(d.ConfigType, d.InputMode) == TSignalKind::skNone) {
            RequireUsableConfig(d);
            throw ECtlError(ExitRefused, "InputMode " + std::to_string(d.InputMode) +
                    " is not a known input kind: the reading cannot be converted");
        }
        std::string suffix;
        auto reading = [&] {
            const int value = NormalizeValueAD(d, s.Measure(), suffix);
            return SampleDisplay(d.ConfigType, d.InputMode, value, C.DecimalSeparator).Text;
        };
        if (!record) {
            const std::string text = reading();
            C.Out << text << suffix << "\n";
            return ExitOk;
        }

        // As the program's datalog: the first reading is taken at the start and not stored.
        TLogTable table;
        table.SetCell(0, PeriodText(periodMs));
        reading();
        int status = ExitOk;
        try {
            const auto period = std::chrono::milliseconds(periodMs);
            auto next = Clock::now() + period;
            for (int k = 0; k < count; ++k) {
                while (Clock::now() < next && !Stopped())
                    std::this_thread::sleep_for(std::min<Clock::duration>(next - Clock::now(), std::chrono::milliseconds(20)));
                if (Stopped()) {
                    status = ExitInterrupted;
                    break;
                }
                const std::string text = reading();
                table.Append(text);
                C.Out << text << suffix << std::endl;
                // A tick that falls due while a reading runs comes once, late; missed ones are not made up.
                next += period;
                const auto now = Clock::now();
                while (next <= now)
                    next += period;
            }
        } catch (const ECtlError& e) {
            // The samples taken stay, as in the program's log table; the lost line decides the status.
            std::string kept = A.Csv.empty() ? "" : " are in " + A.Csv;
            try {
                WriteCsv(table);
            } catch (const ECtlError& csv) {
                kept = std::string(" are lost: ") + csv.what();
            }
            throw ECtlError(e.Status(), std::string(e.what()) + "; " + std::to_string(table.SampleCount()) +
                    " samples taken" + kept);
        }
        WriteCsv(table);
        if (status == ExitInterrupted)
            C.Err << "kvt27ctl: stopped after " << table.SampleCount() << " samples\n";
        return status;
    }

    void WriteCsv(const TLogTable& Table)
    {
        if (A.Csv.empty())
            return;
        try {
            ExportCsv(Table, A.Csv);
        } catch (const ECsvError& e) {
            throw ECtlError(ExitFailure, "cannot write " + A.Csv + ": " + e.what());
        }
    }

    int Save()
    {
        const std::string& file = A.Positional[0];
        TCtlSession& s = Connect(true);
        const TProfile p = ProfileFromSettings(s.Settings);
        const TDeviceSettings& d = s.Settings;
        const std::string text = FormatProfile(p, {"kvt27ctl configuration",
            "from a " + ModelName(d.DeviceModel) + ", firmware " + FirmwareVersionText(d.FirmwareVersion) + ", configuration " +
                std::to_string(d.ConfigType) + ", on " + s.Device()});
        if (file == "-") {
            C.Out << text;
            return ExitOk;
        }
        // Written aside and renamed, so a failure never leaves half a file in place of a good one.
        const std::string temp = file + ".tmp";
        {
            std::ofstream out(PathFromUtf8(temp), std::ios::binary | std::ios::trunc);
            out << text;
            out.close();
            if (!out) {
                const int err = errno;
                std::error_code ignored;
                std::filesystem::remove(PathFromUtf8(temp), ignored);
                throw ECtlError(ExitFailure, "cannot write " + file + ": " + std::strerror(err));
            }
        }
        // std::filesystem's rename replaces the target on Windows too.
        std::error_code renamed;
        std::filesystem::rename(PathFromUtf8(temp), PathFromUtf8(file), renamed);
        if (renamed) {
            std::error_code ignored;
            std::filesystem::remove(PathFromUtf8(temp), ignored);
            throw ECtlError(ExitFailure, "cannot write " + file + ": " + renamed.message());
        }
        C.Out << "saved the configuration of the " << ModelName(d.DeviceModel) << " on " << s.Device() << " to " << file << "\n";
        return ExitOk;
    }

    int Apply()
    {
        const std::string& file = A.Positional[0];
        std::string text;
        {
            std::ifstream in(PathFromUtf8(file), std::ios::binary);
            if (!in)
                Usage("cannot read " + file + ": " + std::strerror(errno));
            std::ostringstream all;
            all << in.rdbuf();
            text = all.str();
        }
        // The file is checked whole before the port is touched.
        const TProfile p = ParseProfile(text, file);

        TCtlSession& s = Connect(true);
        const std::vector<TPlannedWrite> plan = PlanApply(p, s.Settings);
        if (A.DryRun)
            C.Out << "dry run: nothing is written\n";
        bool inputRange = false;
        for (const TPlannedWrite& w : plan) {
            const std::string name = WordName(w.Address);
            std::ostringstream line;
            line << std::left << std::setw(14) << name << std::right << std::setw(4) << int(w.Address) << "  ";
            if (w.Write)
                line << (A.DryRun ? "would write " : "write ") << w.New << " (was " << w.Old << ")";
            else
                line << "keep " << w.Old << " (" << (w.Note.empty() ? "unchanged" : w.Note) << ")";
            if (w.Write && !A.DryRun) {
                s.WriteWord(w.Address, static_cast<uint16_t>(w.New));
                inputRange = inputRange || w.Address == WordInZero || w.Address == WordInEnd;
            }
            C.Out << line.str() << "\n";
        }
        if (inputRange && NeedsPowerCycle(s.Settings.FirmwareVersion))
            C.Err << "kvt27ctl: note: " << MsgPowerCycleText << "\n";
        return ExitOk;
    }

    const TArgs& A;
    TCtlContext& C;
    std::unique_ptr<TCtlSession> FSession;
};

} // namespace

int RunCtl(const std::vector<std::string>& Args, TCtlContext& Context)
{
    try {
        const TArgs a = ParseArgs(Args);
        if (a.Command.empty()) {
            if (a.Help) {
                Context.Out << CtlHelp("");
                return ExitOk;
            }
            Usage("no command given (see kvt27ctl --help)");
        }
        if (a.Command == "help") {
            const std::string topic = a.Positional.empty() ? "" : a.Positional[0];
            const std::string help = CtlHelp(topic);
            if (help.empty() || a.Positional.size() > 1)
                Usage("no help for \"" + topic + "\" (see kvt27ctl --help)");
            Context.Out << help;
            return ExitOk;
        }
        const auto known = Commands().find(a.Command);
        if (known == Commands().end())
            Usage("unknown command \"" + a.Command + "\" (see kvt27ctl --help)");
        if (a.Help) {
            Context.Out << CtlHelp(a.Command);
            return ExitOk;
        }
        for (const std::string& o : a.Given)
            if (!known->second.Options.count(o))
                Usage(a.Command + " takes no " + o + " option (see kvt27ctl " + a.Command + " --help)");
        if (a.Positional.size() != known->second.Positional)
            Usage(a.Command + (known->second.Positional == 0 ? " takes no arguments"
                                                             : std::string(" needs ") + known->second.PositionalHelp) +
                " (see kvt27ctl " + a.Command + " --help)");
        TCommandRunner runner(a, Context);
        return runner.Run();
    } catch (const ECtlError& e) {
        Context.Err << "kvt27ctl: " << e.what() << "\n";
        return e.Status();
    } catch (const EComError& e) {
        // A failure while waiting for a write to leave: the line itself.
        Context.Err << "kvt27ctl: the line to the converter failed: " << e.what() << "\n";
        return ExitNoAnswer;
    } catch (const std::exception& e) {
        Context.Err << "kvt27ctl: " << e.what() << "\n";
        return ExitFailure;
    } catch (...) {
        Context.Err << "kvt27ctl: unexpected failure\n";
        return ExitFailure;
    }
}

} // namespace kvt::ctl
