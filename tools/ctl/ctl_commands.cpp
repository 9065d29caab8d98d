// The commands of kvt27ctl.
#include "tools/ctl/ctl.h"

#include "datalog/csv_export.h"
#include "datalog/datalog_run.h"
#include "datalog/log_table.h"
#include "platform/safe_file.h"
#include "datalog/sample_text.h"
#include "platform/text_file.h"
#include "model/bench_job_file.h"
#include "protocol/identity.h"
#include "protocol/line_log.h"
#include "protocol/word_names.h"
#include "serial/comport.h"
#include "signal/config_file.h"
#include "signal/config_rules.h"
#include "signal/conversion.h"
#include "signal/field_text.h"
#include "signal/numeric_entry.h"
#include "signal/number_format.h"
#include "signal/signal_kind.h"
#include "signal/work_record.h"
#include "tools/ctl/ctl_doctor.h"
#include "tools/ctl/ctl_find.h"
#include "tools/ctl/ctl_ports.h"
#include "tools/ctl/ctl_session.h"
#include "tools/ctl/ctl_command.h"
#include "tools/ctl/ctl_job.h"
#include "serial/portlist.h"
#include "kvt_version.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

namespace kvt::ctl {

namespace {

using Clock = std::chrono::steady_clock;
// Keys in the order they are set, so that the documented shape reads as it is printed.
using Json = nlohmann::ordered_json;

std::string SignalName(int Signal)
{
    switch (Signal) {
    case 1:
        return "SIGHUP";
    case 2:
        return "Ctrl-C (SIGINT)";
    case 15:
        return "SIGTERM";
    }
    return "signal " + std::to_string(Signal);
}

// What went wrong with standard output, as the failed write left it in errno.
std::string OutputFailure()
{
    const int err = errno;
    return std::string("cannot write the results to standard output: ") +
        (err != 0 ? std::strerror(err) : "it is closed or full");
}

void CheckTarget(const std::string& File)
{
    try {
        CheckSafeTarget(File);
    } catch (const EFileError& e) {
        throw ECtlError(ExitFailure, std::string("cannot write ") + e.what());
    }
}

struct TArgs {
    std::string Command;
    std::string Port;
    bool Json = false;
    bool DryRun = false;
    bool Trace = false;
    std::string AsFound;
    bool Help = false;
    bool Version = false;
    std::string Count;
    std::string Period;
    std::string Csv;
    std::string Records;
    std::string From;
    std::vector<std::string> Positional;
    std::set<std::string> Given; // options given, for the per-command check
    std::map<std::string, std::string> Values; // the options of the commands in files of their own
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
            if (!hasValue) {
                if (i + 1 >= Args.size())
                    Usage(arg + " needs a value");
                value = Args[++i];
            }
            // An empty value is a mistake in a script, not an option left out.
            if (value.empty())
                Usage(arg + " needs a value, and an empty one is none");
            return value;
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
        if (arg == "--version") {
            flag();
            a.Version = true;
            continue;
        }
        if (arg == "-p" || arg == "--port") {
            a.Port = take();
            a.Given.insert("--port");
        } else if (arg == "--json") {
            flag();
            a.Json = true;
            a.Given.insert(arg);
        } else if (arg == "--trace") {
            flag();
            a.Trace = true;
            a.Given.insert(arg);
        } else if (arg == "--as-found") {
            a.AsFound = take();
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
        } else if (arg == "--hold" || arg == "--fingerprint" || arg == "--tag" || arg == "--place" || arg == "--note") {
            a.Values[arg] = take();
            a.Given.insert(arg);
        } else if (arg == "--records") {
            a.Records = take();
            a.Given.insert(arg);
        } else if (arg == "--from") {
            a.From = take();
            a.Given.insert(arg);
        } else {
            Usage("unknown option " + MessageQuote(arg) + " (see kvt27ctl --help)");
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
        {"ports", {{"--json"}, 0, ""}},
        {"info", {{"--port", "--json", "--trace"}, 0, ""}},
        {"read", {{"--port", "--json", "--trace"}, 0, ""}},
        {"write", {{"--port", "--json", "--trace"}, 2, "a word name and a value"}},
        {"measure", {{"--port", "--count", "--period", "--csv", "--json", "--trace"}, 0, ""}},
        {"save", {{"--port", "--json", "--trace"}, 1, "a file name"}},
        {"apply", {{"--port", "--dry-run", "--json", "--trace"}, 1, "a file name"}},
        {"record", {{"--port", "--as-found", "--json", "--trace"}, 0, ""}},
        {"output", {{"--port", "--hold", "--trace"}, 1, "a value such as 12mA, 5V or 50%"}},
        {"history", {{"--port", "--fingerprint", "--tag", "--place", "--note", "--json", "--trace"}, 0, ""}},
        {"job", {{"--port", "--records", "--from", "--json", "--trace"}, 2, "run and a job file"}},
        {"find", {{"--json"}, 0, ""}},
        {"doctor", {{"--port", "--json"}, 0, ""}},
    };
    return commands;
}

long long ParseInteger(const std::string& What, const std::string& Text, long long Low, long long High)
{
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(Text.c_str(), &end, 10);
    if (Text.empty() || *end != '\0' || errno == ERANGE || std::isspace(static_cast<unsigned char>(Text[0])))
        Usage(What + ": expected a whole number, got " + MessageQuote(Text));
    if (v < Low || v > High)
        Usage(What + " " + MessageQuote(Text) + " is out of range " + std::to_string(Low) + ".." + std::to_string(High));
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
        Usage("--period: expected seconds such as 1, 0.5 or \"2 min\", got " + MessageQuote(Text));
    char* end = nullptr;
    const double v = std::strtod(number.c_str(), &end);
    if (number.empty() || *end != '\0' || !std::isfinite(v))
        Usage("--period: expected seconds such as 1, 0.5 or \"2 min\", got " + MessageQuote(Text));
    const double ms = std::round(v * scale);
    if (ms < 100 || ms > 86400000)
        Usage("--period " + MessageQuote(Text) + " is out of range 0.1 s .. 24 h");
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

// A plain number as the configuration files and numeric fields write it ("4.000", "-5.250"),
// read the same in every locale.
double ParseNumber(const std::string& Text)
{
    double v = 0;
    std::from_chars(Text.data(), Text.data() + Text.size(), v);
    return v;
}

// One JSON document on a line: valid UTF-8 whatever the port name or a text holds.
std::string JsonLine(const Json& J)
{
    return J.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

// A write that failed after its request went out: the converter may have stored the word.
std::string UnknownText(const TAppliedWord& W)
{
    return "may have been stored (" + (W.Holds ? "it holds " + std::to_string(*W.Holds) : std::string("it could not be read back")) + ")";
}

class TCommandRunner {
public:
    TCommandRunner(const TArgs& Args, TCtlContext& Context) : FArgs(Args), FContext(Context) {}

    int Run()
    {
        const std::string& cmd = FArgs.Command;
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
        if (cmd == "record")
            return Record();
        if (cmd == "output")
            return OutputCommand(Env());
        if (cmd == "history")
            return HistoryCommand(Env());
        if (cmd == "job")
            return RunJobCommand({FArgs.Positional[0], FArgs.Positional[1], FArgs.Port, FArgs.Records, FArgs.From,
                                  FArgs.Json, FArgs.Trace}, FContext);
        if (cmd == "find")
            return RunFind(FContext, FArgs.Json);
        if (cmd == "doctor")
            return RunDoctor(FContext, FArgs.Port, FArgs.Json);
        return Apply();
    }

private:
    TCommandEnv Env()
    {
        return {FContext, FArgs.Positional, FArgs.Values, FArgs.Given, FArgs.Json, [this](bool Load) -> TCtlSession& { return Connect(Load); },
                [this] { return Stopped(); }, [this](const std::string& Text) { Print(Text); }};
    }

    TCtlSession& Connect(bool LoadWords)
    {
        if (FArgs.Port.empty())
            Usage("no port given (--port NAME; \"kvt27ctl ports\" lists them)");
        FSession = std::make_unique<TCtlSession>(FArgs.Port == "auto" ? AutoPort(FContext) : FArgs.Port);
        if (FContext.PortSetup)
            FContext.PortSetup(FSession->Model().Port());
        // A stop asked for ends the command before its next request, never inside a frame.
        FSession->Model().SetStopCheck([this] {
            if (const int signal = Stopped())
                throw ECtlError(128 + signal, "stopped by " + SignalName(signal));
        });
        // Every frame and what became of it, as the window's line log shows it.
        if (FArgs.Trace)
            FSession->Model().Subscribe([this](const TModelChange& Change) {
                if (Change.Kind != TModelChange::TKind::Exchange)
                    return;
                for (const std::string& line : TraceLines(*Change.Exchange))
                    FContext.Err << line << "\n";
                FContext.Err.flush();
            });
        FSession->Open();
        FSession->Identify();
        if (LoadWords)
            FSession->LoadSettings();
        return *FSession;
    }

    int Ports()
    {
        const std::vector<TPortInfo> ports =
            ProgramPortsUnder(FContext.System.SysRoot, FContext.System.DevRoot, FContext.SimRegistryDir);
        if (FArgs.Json)
            Print(JsonLine(PortsJson(ports)));
        else
            for (const TPortInfo& p : ports)
                FContext.Out << PortDisplayText(p) << "\n";
        if (ports.empty())
            FContext.Err << "kvt27ctl: no serial ports found\n";
        return ExitOk;
    }

    void Identity(std::vector<std::pair<std::string, std::string>>& Lines, TCtlSession& S)
    {
        const TDeviceSettings& d = S.Settings();
        Lines.push_back({"port", S.Device()});
        Lines.push_back({"model", ModelName(d.DeviceModel)});
        Lines.push_back({"firmware", FirmwareVersionText(d.FirmwareVersion)});
        if (const std::optional<int>& t = S.Model().TemperatureC())
            Lines.push_back({"temperature", std::to_string(*t) + " \xC2\xB0" "C"});
        Lines.push_back({"configuration", std::to_string(d.ConfigType) + "  " + ConfigTypeDescription(d.ConfigType)});
    }

    Json IdentityJson(TCtlSession& S)
    {
        const TDeviceSettings& d = S.Settings();
        Json j;
        j["port"] = S.Device();
        j["model"] = ModelName(d.DeviceModel);
        j["device_model"] = d.DeviceModel;
        j["firmware"] = d.FirmwareVersion;
        j["firmware_text"] = FirmwareVersionText(d.FirmwareVersion);
        j["temperature_c"] = S.Model().TemperatureC() ? Json(*S.Model().TemperatureC()) : Json(nullptr);
        j["config_type"] = d.ConfigType;
        j["config_text"] = ConfigTypeDescription(d.ConfigType);
        return j;
    }

    void PrintLines(const std::vector<std::pair<std::string, std::string>>& Lines)
    {
        for (const auto& [key, value] : Lines)
            FContext.Out << std::left << std::setw(15) << key << value << "\n";
    }

    int Info()
    {
        TCtlSession& s = Connect(false);
        if (FArgs.Json) {
            Print(JsonLine(IdentityJson(s)));
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
        if (SignalKindOf(s.ConfigType, s.InputMode) != TSignalKind::None) {
            r.Input = true;
            r.InBeginValue = NormalizeValueAD(s, s.InZero, suffix);
            r.InBeginLabel = MeasurementText(s.ConfigType, s.InputMode, r.InBeginValue, suffix, FContext.DecimalSeparator);
            r.InEndValue = NormalizeValueAD(s, s.InEnd, suffix);
            r.InEndLabel = MeasurementText(s.ConfigType, s.InputMode, r.InEndValue, suffix, FContext.DecimalSeparator);
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
        const TDeviceSettings& d = s.Settings();
        const TRanges r = Ranges(d);
        auto word = [&](uint8_t Address) { return WordValue(d, Address); };
        if (FArgs.Json) {
            Json j = IdentityJson(s);
            Json& words = j["words"] = Json::object();
            for (const TSettingsWordRow& w : SettingsWords)
                words[w.Name] = word(w.Address);
            // One unit per range: the input as the range labels show it (uA, mV or %), the output
            // as the numeric fields (mA or V).
            if (r.Input) {
                const bool mv = IsMillivoltInput(d.ConfigType, d.InputMode);
                std::string unit = r.InUnit;
                unit.erase(0, unit.find_first_not_of(' '));
                auto value = [mv](int V) { return mv ? Json(V / 100.0) : Json(V); };
                j["input"] = {{"kind", InputKindName(EffectiveInputMode(d))}, {"unit", unit},
                              {"begin", value(r.InBeginValue)}, {"end", value(r.InEndValue)}};
            } else {
                j["input"] = nullptr;
            }
            if (r.Output)
                j["output"] = {{"kind", OutputKindName(EffectiveOutputMode(d))}, {"unit", r.OutUnit},
                               {"begin", ParseNumber(PlainNumber(r.OutBeginField))},
                               {"end", ParseNumber(PlainNumber(r.OutEndField))}};
            else
                j["output"] = nullptr;
            Print(JsonLine(j));
            return ExitOk;
        }

        std::vector<std::pair<std::string, std::string>> lines;
        Identity(lines, s);
        PrintLines(lines);
        FContext.Out << "\naddress  " << std::left << std::setw(14) << "word" << std::right << std::setw(6) << "value" << "  meaning\n";
        for (const TSettingsWordRow& w : SettingsWords) {
            const int v = word(w.Address);
            const std::string meaning = WordMeaning(w.Address, v);
            FContext.Out << std::right << std::setw(7) << int(w.Address) << "  " << std::left << std::setw(14) << w.Name
                  << std::right << std::setw(6) << v << (meaning.empty() ? "" : "  " + meaning) << "\n";
        }
        FContext.Out << "\n";
        if (r.Input)
            FContext.Out << "input range    " << r.InBeginLabel << " .. " << r.InEndLabel << "   (numeric entry "
                  << r.InBeginField << " .. " << r.InEndField << " " << r.InFieldUnit << ")\n";
        else
            FContext.Out << "input range    none: no conversion for configuration " << d.ConfigType << " with InputMode "
                  << d.InputMode << "\n";
        if (r.Output)
            FContext.Out << "output range   " << r.OutBeginField << " .. " << r.OutEndField << " " << r.OutUnit << "\n";
        else
            FContext.Out << "output range   none: OutputMode " << d.OutputMode << " is not a known output kind\n";
        return ExitOk;
    }

    int Write()
    {
        const std::string& name = FArgs.Positional[0];
        const int address = WordAddressByName(name);
        if (address < 0)
            Usage("unknown word " + MessageQuote(name) + " (see kvt27ctl write --help)");
        if (!WritableWord(static_cast<uint8_t>(address)))
            Usage(WordName(static_cast<uint8_t>(address)) + " is a calibration word: it is never written");
        const long long value = ParseInteger(WordName(static_cast<uint8_t>(address)), FArgs.Positional[1], 0, 65535);
        // What is wrong on every converter is refused before the port is touched: checked as for
        // a KVT27 in configuration 0 with new firmware, which allows the most.
        TDeviceSettings widest;
        widest.DeviceModel = ModelKVT27;
        widest.FirmwareVersion = 2000000000;
        std::string why;
        if (CheckWordValue(static_cast<uint8_t>(address), value, widest, why) == TValueCheck::BadValue)
            Usage(why);

        TCtlSession& s = Connect(false);
        RequireUsableConfig(s.Settings());
        const TValueCheck check = CheckWordValue(static_cast<uint8_t>(address), value, s.Settings(), why);
        if (check != TValueCheck::Ok)
            throw ECtlError(check == TValueCheck::Refused ? ExitRefused : ExitUsage, why);
        const uint16_t old = s.ReadWord(static_cast<uint8_t>(address));
        const bool rangeWord = address == WordInZero || address == WordInEnd;
        const bool powerCycle = rangeWord && NeedsPowerCycle(s.Settings().FirmwareVersion);
        const TApplyReport done = s.Model().ApplyPlan({{static_cast<uint8_t>(address), old, static_cast<int>(value), true, ""}},
                                                      false, [this] { return Stopped() != 0; });
        if (done.Stopped)
            throw ECtlError(128 + Stopped(), "stopped by " + SignalName(Stopped()));
        if (!done.Complete()) {
            const TAppliedWord& w = done.Words.front();
            const bool unknown = w.Action == TAppliedWord::TAction::Unknown;
            if (done.PowerCycleNeeded)
                FContext.Err << "kvt27ctl: note: " << MsgPowerCycleText << "\n";
            throw ECtlError(ExitNoAnswer, s.FailureText(done.Failure) + (unknown ? "; unknown: " + UnknownText(w) : ""));
        }
        KeepHistory(FContext, s, SettingsAfter(s.Settings(), done), done.Names(TAppliedWord::TAction::Written), "kvt27ctl write");
        const std::string meaning = WordMeaning(static_cast<uint8_t>(address), static_cast<int>(value));
        if (FArgs.Json) {
            Print(JsonLine({{"word", WordName(static_cast<uint8_t>(address))}, {"address", address}, {"old", old},
                            {"new", value}, {"meaning", meaning}, {"power_cycle_needed", powerCycle}}));
        } else {
            std::ostringstream line;
            line << WordName(static_cast<uint8_t>(address)) << " (" << address << "): " << old << " -> " << value
                 << (meaning.empty() ? "" : "  " + meaning) << "\n";
            Print(line.str());
        }
        if (powerCycle)
            FContext.Err << "kvt27ctl: note: " << MsgPowerCycleText << "\n";
        return ExitOk;
    }

    // The signal that asked the tool to stop (SIGINT, SIGTERM, SIGHUP), or 0.
    int Stopped() const { return FContext.Stop != nullptr ? FContext.Stop->load() : 0; }

    // Results go out as they come; a standard output that cannot take them ends the command.
    void Print(const std::string& Text)
    {
        FContext.Out << Text;
        FContext.Out.flush();
        if (!FContext.Out)
            throw ECtlError(ExitFailure, OutputFailure());
    }

    int Measure()
    {
        const bool record = FArgs.Given.count("--count") || FArgs.Given.count("--csv");
        const int count = FArgs.Count.empty() ? 1 : static_cast<int>(ParseInteger("--count", FArgs.Count, 1, 100000000));
        const int periodMs = FArgs.Period.empty() ? 1000 : ParsePeriod(FArgs.Period);
        if (!record && FArgs.Given.count("--period"))
            Usage("--period goes with --count or --csv");
        // A file that cannot be written is told before the first frame, not after the recording.
        if (!FArgs.Csv.empty())
            CheckTarget(FArgs.Csv);

        TCtlSession& s = Connect(true);
        const TDeviceSettings& d = s.Settings();
        if (SignalKindOf(d.ConfigType, d.InputMode) == TSignalKind::None) {
            RequireUsableConfig(d);
            throw ECtlError(ExitRefused, "InputMode " + std::to_string(d.InputMode) +
                    " is not a known input kind: the reading cannot be converted");
        }
        const bool mv = IsMillivoltInput(d.ConfigType, d.InputMode);
        std::string suffix;
        struct TReading {
            int Raw;
            int Value; // NormalizeValueAD: hundredths of a mV for the millivolt input
            std::string Text;
        };
        auto reading = [&] {
            const TMeasured m = s.Measure();
            suffix = m.UnitSuffix;
            return TReading{m.Raw, m.Value, SampleDisplay(d.ConfigType, d.InputMode, m.Value, FContext.DecimalSeparator).Text};
        };
        auto unit = [&] { return suffix.substr(suffix.find_first_not_of(' ')); };
        auto json = [&](const TReading& R) {
            return Json{{"raw", R.Raw}, {"value", mv ? Json(R.Value / 100.0) : Json(R.Value)}, {"unit", unit()}};
        };
        if (!record) {
            const TReading r = reading();
            Print(FArgs.Json ? JsonLine(json(r)) : r.Text + suffix + "\n");
            return ExitOk;
        }

        // As the program's datalog: the first reading is taken at the start and not stored.
        TDatalogRun run;
        run.Start(PeriodText(periodMs));
        int status = ExitOk;
        std::string why;
        const bool progress = FContext.ErrIsTerminal;
        try {
            run.SetFirst({reading().Text, 0});
            const auto period = std::chrono::milliseconds(periodMs);
            auto next = Clock::now() + period;
            for (int k = 0; k < count; ++k) {
                while (Clock::now() < next && !Stopped())
                    std::this_thread::sleep_for(std::min<Clock::duration>(next - Clock::now(), std::chrono::milliseconds(20)));
                if (const int signal = Stopped()) {
                    status = 128 + signal;
                    why = "stopped by " + SignalName(signal);
                    break;
                }
                const TReading r = reading();
                run.Add(r.Text);
                if (FArgs.Json) {
                    Json j = json(r);
                    j["sample"] = k + 1;
                    Print(JsonLine(j));
                } else {
                    Print(r.Text + suffix + "\n");
                }
                if (progress)
                    FContext.Err << "\r" << (k + 1) << " of " << count << std::flush;
                // A tick that falls due while a reading runs comes once, late; missed ones are not made up.
                next += period;
                const auto now = Clock::now();
                while (next <= now)
                    next += period;
            }
        } catch (const ECtlError& e) {
            // The samples taken stay, as in the program's log table; the cause decides the status.
            status = e.Status();
            why = e.what();
        }
        if (progress)
            FContext.Err << "\n";
        return FinishRecording(run, status, why);
    }

    // Keeps what a recording measured, whatever ended it, and says how many and where.
    int FinishRecording(const TDatalogRun& Run, int Status, const std::string& Why)
    {
        const std::string taken = std::to_string(Run.Count()) + (Run.Count() == 1 ? " sample" : " samples");
        std::string kept;
        if (!FArgs.Csv.empty()) {
            if (Run.Count() == 0) {
                kept = "; " + FArgs.Csv + " was left as it was";
            } else {
                try {
                    WriteCsv(Run.Table());
                    kept = " are in " + FArgs.Csv;
                } catch (const ECtlError& e) {
                    kept = std::string(" are lost: ") + e.what();
                    if (Status == ExitOk)
                        Status = ExitFailure;
                }
            }
        }
        if (Status != ExitOk)
            FContext.Err << "kvt27ctl: " << Why << (Why.empty() ? "" : "; ") << taken << " taken" << kept << "\n";
        return Status;
    }

    void WriteCsv(const TLogTable& Table)
    {
        if (FArgs.Csv.empty())
            return;
        try {
            ExportCsv(Table, FArgs.Csv);
        } catch (const ECsvError& e) {
            throw ECtlError(ExitFailure, "cannot write " + FArgs.Csv + ": " + e.what());
        }
    }

    int Save()
    {
        const std::string& file = FArgs.Positional[0];
        // A name that cannot be written costs no frame.
        if (file != "-")
            CheckProfileTarget(file);
        TCtlSession& s = Connect(true);
        const TProfile p = SavableProfile(s.Settings());
        const TDeviceSettings& d = s.Settings();
        const std::string text = FormatProfile(p, {"kvt27ctl configuration",
            "from a " + ModelName(d.DeviceModel) + ", firmware " + FirmwareVersionText(d.FirmwareVersion) + ", configuration " +
                std::to_string(d.ConfigType) + ", on " + s.Device()});
        if (file != "-")
            WriteProfileFile(file, text);
        if (FArgs.Json) {
            Print(JsonLine({{"file", file == "-" ? Json(nullptr) : Json(file)}, {"port", s.Device()},
                            {"model", ModelName(d.DeviceModel)}, {"configuration", ProfileJson(p)}}));
        } else if (file == "-") {
            Print(text);
        } else {
            Print("saved the configuration of the " + ModelName(d.DeviceModel) + " on " + s.Device() + " to " + file + "\n");
        }
        return ExitOk;
    }

    // A configuration as JSON: kinds by name, ranges as numbers in the unit given beside them.
    static Json ProfileJson(const TProfile& P)
    {
        return {{"input", InputKindName(P.InputMode)}, {"input_unit", InputUnit(P.InputMode)},
                {"input_begin", ParseNumber(P.InBegin)}, {"input_end", ParseNumber(P.InEnd)},
                {"output", OutputKindName(P.OutputMode)}, {"output_unit", OutputUnit(P.OutputMode)},
                {"output_begin", ParseNumber(P.OutBegin)}, {"output_end", ParseNumber(P.OutEnd)},
                {"filter", P.FilterType}, {"reaction", P.LimitReaction}};
    }

    int Apply()
    {
        const std::string& file = FArgs.Positional[0];
        // The file is read and checked whole before the port is touched.
        const TProfile p = LoadProfile(file);

        TCtlSession& s = Connect(true);
        const std::vector<TPlannedWrite> plan = PlanApply(p, s.Settings());
        // A standard output that goes away (| head) must not leave the converter half-configured:
        // the writes go on, and the output failure and the lists are told on stderr at the end.
        std::string outFailure;
        auto emit = [&](const std::string& Text) {
            if (!outFailure.empty())
                return;
            errno = 0;
            FContext.Out << Text;
            FContext.Out.flush();
            if (!FContext.Out)
                outFailure = OutputFailure();
        };
        if (FArgs.DryRun && !FArgs.Json)
            emit("dry run: nothing is written\n");
        // A stop or a failed write ends the writing before the next word; what was written, what
        // may have been and what was not is said word by word.
        const TApplyReport report = s.Model().ApplyPlan(plan, FArgs.DryRun, [this] { return Stopped() != 0; });
        Json words = Json::array();
        for (const TAppliedWord& w : report.Words) {
            const std::string name = WordName(w.Plan.Address);
            using TAction = TAppliedWord::TAction;
            const char* action = w.Action == TAction::Keep ? "keep"
                : w.Action == TAction::WouldWrite         ? "would write"
                : w.Action == TAction::Written            ? "write"
                : w.Action == TAction::Unknown            ? "unknown"
                                                          : "not written";
            const std::string note = w.Action == TAction::Unknown ? "may have been stored"
                : w.Plan.Write                                   ? ""
                : w.Plan.Note.empty()                            ? "unchanged"
                                                                 : w.Plan.Note;
            if (FArgs.Json) {
                Json item{{"word", name}, {"address", w.Plan.Address}, {"old", w.Plan.Old}, {"new", w.Plan.New},
                          {"action", action}, {"note", note}};
                if (w.Action == TAction::Unknown)
                    item["holds"] = w.Holds ? Json(*w.Holds) : Json(nullptr);
                words.push_back(item);
                continue;
            }
            std::ostringstream line;
            line << std::left << std::setw(14) << name << std::right << std::setw(4) << int(w.Plan.Address) << "  ";
            if (w.Action == TAction::Keep)
                line << "keep " << w.Plan.Old << " (" << note << ")";
            else if (w.Action == TAction::NotWritten)
                line << "not written " << w.Plan.New << " (still " << w.Plan.Old << ")";
            else if (w.Action == TAction::Unknown)
                line << "unknown " << w.Plan.New << ": " << UnknownText(w);
            else
                line << action << " " << w.Plan.New << " (was " << w.Plan.Old << ")";
            emit(line.str() + "\n");
        }
        if (!FArgs.DryRun && !(report.Names(TAppliedWord::TAction::Written).empty() && report.Names(TAppliedWord::TAction::Unknown).empty()))
            KeepHistory(FContext, s, SettingsAfter(s.Settings(), report), report.Names(TAppliedWord::TAction::Written), "kvt27ctl apply");
        int status = ExitOk;
        std::string why;
        if (!report.Failure.Ok()) {
            status = ExitNoAnswer;
            why = s.FailureText(report.Failure);
        } else if (report.Stopped) {
            status = 128 + Stopped();
            why = "stopped by " + SignalName(Stopped());
        }
        const bool powerCycle = report.PowerCycleNeeded;
        std::vector<std::string> written = report.Names(TAppliedWord::TAction::Written);
        std::vector<std::string> notWritten = report.Names(TAppliedWord::TAction::NotWritten);
        std::vector<std::string> unknown;
        for (const TAppliedWord& w : report.Words)
            if (w.Action == TAppliedWord::TAction::Unknown)
                unknown.push_back(WordName(w.Plan.Address) + " " + UnknownText(w));
        if (FArgs.Json)
            emit(JsonLine({{"dry_run", FArgs.DryRun}, {"complete", status == ExitOk}, {"words", words},
                           {"power_cycle_needed", powerCycle}}));
        if (powerCycle)
            FContext.Err << "kvt27ctl: note: " << MsgPowerCycleText << "\n";
        if (status != ExitOk || !outFailure.empty()) {
            auto list = [](const std::vector<std::string>& Names) {
                std::string l;
                for (const std::string& n : Names)
                    l += (l.empty() ? "" : ", ") + n;
                return l.empty() ? std::string("none") : l;
            };
            if (!outFailure.empty())
                FContext.Err << "kvt27ctl: " << outFailure << "\n";
            if (status != ExitOk)
                FContext.Err << "kvt27ctl: " << why << "\n";
            FContext.Err << "kvt27ctl: written: " << list(written);
            if (!unknown.empty())
                FContext.Err << "; unknown: " << list(unknown);
            FContext.Err << "; not written: " << list(notWritten) << "\n";
            if (status == ExitOk)
                status = ExitFailure;
        }
        return status;
    }

    // The work record of this converter as JSON: as found (from --as-found, the JSON of an earlier
    // "read" or "record", or else now) and as left (now). kvt27ctl takes no measurement of its own.
    int Record()
    {
        std::optional<TDeviceSettings> found;
        if (!FArgs.AsFound.empty())
            found = AsFoundWords(FArgs.AsFound);
        TCtlSession& s = Connect(true);
        TWorkRecord r;
        r.Time = std::chrono::system_clock::now();
        r.Port = s.Device();
        r.AsLeft = s.Settings();
        r.AsFound = s.Settings();
        if (found) {
            // Only the words come from the file: the identification is this converter's.
            TDeviceSettings f = s.Settings();
            for (const TSettingsWordRow& w : SettingsWords)
                f.*(w.Field) = (*found).*(w.Field);
            if (!SameConverter(f, s.Settings()))
                throw ECtlError(ExitRefused, FArgs.AsFound + " was read from another converter (its calibration words differ)");
            r.AsFound = f;
        }
        r.TemperatureC = s.Model().TemperatureC();
        // The same record a bench job writes for each converter.
        r.Tag = HistoryLabels(FContext, s).Tag;
        const Json out = RecordJson(r);
        KeepHistory(FContext, s, r.AsLeft, {}, "kvt27ctl record", &r.AsFound);
        Print(JsonLine(out));
        return ExitOk;
    }

    // The sixteen words of an earlier "read --json" ("words") or "record" ("words"."as_left").
    static TDeviceSettings AsFoundWords(const std::string& File)
    {
        std::string text;
        try {
            text = ReadTextFile(File);
        } catch (const EFileError& e) {
            throw ECtlError(ExitUsage, "cannot read " + File + ": " + e.Reason);
        }
        const Json j = Json::parse(text, nullptr, false);
        const Json* words = nullptr;
        if (j.is_object() && j.contains("words") && j["words"].is_object())
            words = j["words"].contains("as_left") ? &j["words"]["as_left"] : &j["words"];
        if (words == nullptr || !words->is_object())
            throw ECtlError(ExitUsage, File + ": not the JSON of \"kvt27ctl read --json\" or \"kvt27ctl record\"");
        TDeviceSettings d;
        for (const TSettingsWordRow& row : SettingsWords) {
            const auto it = words->find(row.Name);
            if (it == words->end() || !it->is_number_integer() || *it < 0 || *it > 65535)
                throw ECtlError(ExitUsage, File + ": word " + row.Name + " is missing or not 0..65535");
            d.*(row.Field) = it->get<int>();
        }
        return d;
    }

    const TArgs& FArgs;
    TCtlContext& FContext;
    std::unique_ptr<TCtlSession> FSession;
};

} // namespace

std::string StopSignalName(int Signal)
{
    return SignalName(Signal);
}

namespace {

int RunCommand(const std::vector<std::string>& Args, TCtlContext& Context)
{
    try {
        const TArgs a = ParseArgs(Args);
        if (a.Version) {
            Context.Out << "kvt27ctl " << ProgramVersion << "\n" << ProgramCopyright;
            return ExitOk;
        }
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
    } catch (const EConfigError& e) {
        Context.Err << "kvt27ctl: " << e.what() << "\n";
        switch (e.Fault) {
        case TConfigFault::BadValue:
        case TConfigFault::CannotRead:
            return ExitUsage;
        case TConfigFault::Refused:
            return ExitRefused;
        case TConfigFault::CannotWrite:
            break;
        }
        return ExitFailure;
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

} // namespace

int RunCtl(const std::vector<std::string>& Args, TCtlContext& Context)
{
    errno = 0;
    int status = RunCommand(Args, Context);
    // Every result must have reached standard output, and every message standard error.
    const bool outFailed = !Context.Out || !Context.Out.flush();
    if (outFailed && status == ExitOk) {
        Context.Err << "kvt27ctl: " << OutputFailure() << "\n";
        status = ExitFailure;
    }
    if (!Context.Err.flush() && status == ExitOk)
        status = ExitFailure;
    return status;
}

} // namespace kvt::ctl
