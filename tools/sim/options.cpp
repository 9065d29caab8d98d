#include "tools/sim/options.h"

#include "datalog/text_file.h"
#include "protocol/commands.h"
#include "protocol/device_settings.h"
#include "protocol/identity.h"
#include "protocol/word_names.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <sys/stat.h>

namespace kvt::sim {

namespace {

// Signal values in any unit: far beyond what a converter reads, still a plain number.
constexpr double SignalLimit = 1e6;

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// "12", "-3" or "0x1F": a leading 0 is no octal prefix.
int64_t Integer(const std::string& Key, const std::string& Value, int64_t Min, int64_t Max)
{
    const std::string v = Trim(Value);
    const size_t digits = !v.empty() && (v[0] == '-' || v[0] == '+') ? 1 : 0;
    const bool hex = v.size() > digits + 2 && v[digits] == '0' && (v[digits + 1] == 'x' || v[digits + 1] == 'X');
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(v.c_str(), &end, hex ? 16 : 10);
    if (v.empty() || *end != '\0' || errno == ERANGE || n < Min || n > Max)
        throw TSimOptionError(Key + ": expected a whole number from " + std::to_string(Min) + " to " +
            std::to_string(Max) + ", got " + MessageQuote(Value));
    return n;
}

std::string Number(double V)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, V);
    return std::string(buf, r.ptr);
}

// A key for a message: only "word.NAME" keys can be of any length.
std::string ShownKey(const std::string& Key)
{
    return Key.size() > 40 ? MessageQuote(Key) : Key;
}

// A file name from a config line for a message: any length, but no usable one is that long.
std::string ShownPath(const std::string& Path)
{
    return Path.size() > 256 ? MessageQuote(Path, 256) : Path;
}

double Real(const std::string& Key, const std::string& Value, double Min, double Max)
{
    const std::string v = Trim(Value);
    char* end = nullptr;
    const double d = std::strtod(v.c_str(), &end);
    if (v.empty() || *end != '\0' || !(d >= Min && d <= Max))
        throw TSimOptionError(Key + ": expected a number from " + Number(Min) + " to " + Number(Max) + ", got " +
            MessageQuote(Value));
    return d;
}

bool Flag(const std::string& Key, const std::string& Value)
{
    const std::string v = Lower(Trim(Value));
    if (v == "1" || v == "yes" || v == "true" || v == "on")
        return true;
    if (v == "0" || v == "no" || v == "false" || v == "off")
        return false;
    throw TSimOptionError(Key + ": expected yes or no, got " + MessageQuote(Value));
}

int Command(const std::string& Key, const std::string& Value)
{
    std::string name = Lower(Trim(Value));
    std::replace(name.begin(), name.end(), '-', ' ');
    std::replace(name.begin(), name.end(), '_', ' ');
    const int code = CommandByName(name);
    if (code >= 0)
        return code;
    return static_cast<int>(Integer(Key, Value, 0, 255));
}

int Address(const std::string& Key, const std::string& Value)
{
    const int a = WordAddressByName(Trim(Value));
    if (a >= 0)
        return a;
    return static_cast<int>(Integer(Key, Value, 0, 255));
}

const std::vector<std::string> FlagKeys = {
    "trace", "help", "mute", "bad-crc", "swap-crc", "wrong-echo", "wrong-station", "no-register"};

const std::vector<std::string> ValueKeys = {"model", "firmware", "temperature-raw", "temperature",
    "config-type", "word", "signal", "signal-unit", "signal-value", "signal-low", "signal-high",
    "signal-amplitude", "signal-period", "no-reply-frame", "no-reply-command", "no-reply-word",
    "fault-command", "truncate-at", "split-at", "split-pause-ms", "reply-delay-ms", "delay-frame", "hang-up-after",
    "line-speed", "link", "config"};

bool IsFlag(const std::string& Key)
{
    return std::find(FlagKeys.begin(), FlagKeys.end(), Lower(Key)) != FlagKeys.end();
}

bool IsKnown(const std::string& Key)
{
    const std::string k = Lower(Key);
    return IsFlag(k) || std::find(ValueKeys.begin(), ValueKeys.end(), k) != ValueKeys.end() ||
        k.rfind("word.", 0) == 0 || WordAddressByName(Key) >= 0;
}

} // namespace

void TSimOptions::Apply(const std::string& RawKey, const std::string& Value)
{
    const std::string key = Lower(Trim(RawKey));
    if (!IsKnown(Trim(RawKey)))
        throw TSimOptionError("unknown setting " + MessageQuote(Trim(RawKey)) + " (see --help)");
    if (Trim(Value).empty())
        throw TSimOptionError(ShownKey(key) + ": the value is empty");
    TConverterConfig& c = FSetup.Converter;
    TSignal& s = c.Signal;
    TFaults& f = FSetup.Faults;

    if (key == "model") {
        const std::string v = Lower(Trim(Value));
        c.Model = v == "kvt27" ? ModelKVT27 : v == "kvt27l" ? ModelKVT27L : static_cast<int>(Integer(key, Value, 0, 255));
    } else if (key == "firmware") {
        // Up to 2^32 - 1: values from 2^31 travel as negative numbers.
        c.FirmwareVersion = static_cast<int32_t>(static_cast<uint32_t>(
            Integer(key, Value, std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max())));
    } else if (key == "temperature-raw") {
        c.TemperatureRaw = static_cast<int32_t>(static_cast<uint32_t>(
            Integer(key, Value, std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max())));
    } else if (key == "temperature") {
        c.TemperatureRaw = TemperatureRaw(Real(key, Value, -273, 1000));
    } else if (key == "config-type") {
        c.ConfigType = static_cast<uint16_t>(Integer(key, Value, 0, 65535));
    } else if (key == "word" || key.rfind("word.", 0) == 0 || WordAddressByName(Trim(RawKey)) >= 0) {
        std::string name, value = Value;
        if (key == "word") {
            const auto eq = Value.find('=');
            if (eq == std::string::npos)
                throw TSimOptionError("word: expected NAME=VALUE or ADDRESS=VALUE, got " + MessageQuote(Value));
            name = Value.substr(0, eq);
            value = Value.substr(eq + 1);
        } else {
            name = key.rfind("word.", 0) == 0 ? Trim(RawKey).substr(5) : Trim(RawKey);
        }
        FWords.emplace_back(static_cast<uint8_t>(Address("word", name)),
            static_cast<uint16_t>(Integer("word " + ShownKey(Trim(name)), value, 0, 65535)));
    } else if (key == "signal") {
        const std::string v = Lower(Trim(Value));
        if (v == "constant")
            s.Shape = TSignalShape::Constant;
        else if (v == "ramp")
            s.Shape = TSignalShape::Ramp;
        else if (v == "sine")
            s.Shape = TSignalShape::Sine;
        else if (v == "noise")
            s.Shape = TSignalShape::Noise;
        else
            throw TSimOptionError("signal: expected constant, ramp, sine or noise, got " + MessageQuote(Value));
    } else if (key == "signal-unit") {
        const std::string v = Lower(Trim(Value));
        if (v == "raw")
            s.Unit = TSignalUnit::Raw;
        else if (v == "ma")
            s.Unit = TSignalUnit::MilliAmpere;
        else if (v == "v")
            s.Unit = TSignalUnit::Volt;
        else if (v == "mv")
            s.Unit = TSignalUnit::MilliVolt;
        else if (v == "%" || v == "percent")
            s.Unit = TSignalUnit::Percent;
        else
            throw TSimOptionError("signal-unit: expected raw, mA, V, mV or %, got " + MessageQuote(Value));
    } else if (key == "signal-value") {
        s.Value = Real(key, Value, -SignalLimit, SignalLimit);
    } else if (key == "signal-low") {
        s.Low = Real(key, Value, -SignalLimit, SignalLimit);
    } else if (key == "signal-high") {
        s.High = Real(key, Value, -SignalLimit, SignalLimit);
    } else if (key == "signal-amplitude") {
        s.Amplitude = Real(key, Value, 0, SignalLimit);
    } else if (key == "signal-period") {
        s.PeriodS = Real(key, Value, 0.001, 1e6);
    } else if (key == "mute") {
        f.Mute = Flag(key, Value);
    } else if (key == "no-reply-frame") {
        f.NoReplyToFrame = static_cast<int>(Integer(key, Value, 0, std::numeric_limits<int>::max()));
    } else if (key == "no-reply-command") {
        f.NoReplyToCommand = Command(key, Value);
    } else if (key == "no-reply-word") {
        f.NoReplyToWord = Address(key, Value);
    } else if (key == "fault-command") {
        f.OnlyCommand = Command(key, Value);
    } else if (key == "bad-crc") {
        f.BadCrc = Flag(key, Value);
    } else if (key == "swap-crc") {
        f.SwapCrc = Flag(key, Value);
    } else if (key == "wrong-echo") {
        f.WrongEcho = Flag(key, Value);
    } else if (key == "wrong-station") {
        f.WrongStation = Flag(key, Value);
    } else if (key == "truncate-at") {
        f.TruncateAt = static_cast<int>(Integer(key, Value, 0, 6));
    } else if (key == "split-at") {
        f.SplitAt = static_cast<int>(Integer(key, Value, 0, 6));
    } else if (key == "split-pause-ms") {
        f.SplitPauseMs = static_cast<int>(Integer(key, Value, 0, 600000));
    } else if (key == "reply-delay-ms") {
        f.ReplyDelayMs = static_cast<int>(Integer(key, Value, 0, 600000));
    } else if (key == "delay-frame") {
        f.DelayFrame = static_cast<int>(Integer(key, Value, 0, std::numeric_limits<int>::max()));
    } else if (key == "hang-up-after") {
        f.HangUpAfterFrames = static_cast<int>(Integer(key, Value, 0, std::numeric_limits<int>::max()));
    } else if (key == "line-speed") {
        f.LineBaud = static_cast<int>(Integer(key, Value, 0, 4000000));
    } else if (key == "trace") {
        FSetup.Trace = Flag(key, Value);
    } else if (key == "no-register") {
        FSetup.Register = !Flag(key, Value);
    } else if (key == "link") {
        FSetup.Link = Trim(Value);
    } else if (key == "config") {
        LoadFile(Trim(Value));
    } else if (key == "help") {
        FSetup.Help = Flag(key, Value);
    } else {
        throw TSimOptionError("unknown setting " + MessageQuote(Trim(RawKey)) + " (see --help)");
    }
}

namespace {

// An error already placed in an included file: the files around it do not place it again.
class TPlacedError : public TSimOptionError {
public:
    using TSimOptionError::TSimOptionError;
};

} // namespace

void TSimOptions::ParseText(const std::string& Text, const std::string& Origin)
{
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
        const std::string key = Trim(line.substr(0, eq));
        try {
            if (eq != std::string::npos)
                Apply(key, Trim(line.substr(eq + 1)));
            else if (IsKnown(key) && !IsFlag(key))
                throw TSimOptionError(MessageQuote(key) + ": expected key = value");
            else
                Apply(key, "yes"); // a flag standing alone
        } catch (const TPlacedError&) {
            throw;
        } catch (const TSimOptionError& e) {
            throw TPlacedError(Origin + ":" + std::to_string(number) + ": " + e.what());
        }
    }
}

void TSimOptions::LoadFile(const std::string& Path)
{
    // Each level costs stack: a long chain of files would end the program instead of refusing.
    constexpr std::size_t MaxNesting = 16;
    if (FLoading.size() >= MaxNesting) {
        std::string chain;
        for (const TLoading& l : FLoading)
            chain += ShownPath(l.Name) + " -> ";
        throw TSimOptionError("config: " + ShownPath(Path) + ": files may include others at most " +
            std::to_string(MaxNesting) + " deep (" + chain + ShownPath(Path) + ")");
    }
    // A file that includes itself, directly or through others, would never end.
    struct stat st {};
    if (::stat(Path.c_str(), &st) == 0) {
        for (std::size_t i = 0; i < FLoading.size(); ++i) {
            if (FLoading[i].Device == st.st_dev && FLoading[i].Inode == st.st_ino) {
                std::string chain;
                for (std::size_t j = i; j < FLoading.size(); ++j)
                    chain += ShownPath(FLoading[j].Name) + " -> ";
                throw TSimOptionError("config: " + ShownPath(Path) + " is already being read (" + chain + ShownPath(Path) + ")");
            }
        }
    }
    std::string text;
    try {
        text = ReadTextFile(Path);
    } catch (const EFileError& e) {
        throw TSimOptionError("config: cannot read " + ShownPath(Path) + ": " + e.Reason);
    }
    FLoading.push_back({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), Path});
    try {
        ParseText(text, Path);
    } catch (...) {
        FLoading.pop_back();
        throw;
    }
    FLoading.pop_back();
}

void TSimOptions::ParseArgs(const std::vector<std::string>& Args)
{
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& a = Args[i];
        if (a == "-h") {
            FSetup.Help = true;
            continue;
        }
        if (a == "--version") {
            FSetup.Version = true;
            continue;
        }
        if (a.rfind("--", 0) != 0 || a.size() == 2)
            throw TSimOptionError("unexpected argument " + MessageQuote(a) + " (see --help)");
        std::string key = a.substr(2), value = "yes";
        const auto eq = key.find('=');
        if (eq != std::string::npos) {
            value = key.substr(eq + 1);
            key.erase(eq);
        } else if (!IsKnown(key)) {
            throw TSimOptionError("unknown setting " + MessageQuote(key) + " (see --help)");
        } else if (!IsFlag(key)) {
            if (i + 1 >= Args.size())
                throw TSimOptionError("--" + ShownKey(key) + ": a value is missing");
            value = Args[++i];
        }
        Apply(key, value);
    }
}

TSimSetup TSimOptions::Build() const
{
    TSimSetup s = FSetup;
    s.Converter.Words = DefaultWords(s.Converter.Model);
    for (const auto& [address, value] : FWords)
        s.Converter.Words[address] = value;
    return s;
}

TSimSetup ParseSimArgs(const std::vector<std::string>& Args)
{
    TSimOptions o;
    o.ParseArgs(Args);
    return o.Build();
}

std::string SimHelpText()
{
    return R"(kvt27-sim: a KVT27 / KVT27L signal converter on a pseudo-terminal.

Usage: kvt27-sim [options]

Creates a pseudo-terminal, prints the device to open as the first line on stdout and answers the
converter's 7-byte frames on it until SIGINT or SIGTERM. Clients may close and re-open the device
any number of times. Frames with a wrong CRC are ignored; garbage between frames is skipped one
byte at a time until seven bytes with a valid CRC line up.

Every option may also be given in a config file as "key = value" (one per line, "#" comments);
options are applied in order, and a config file where --config stands.

Converter:
  --model KVT27|KVT27L|N      DeviceModel in the identify reply (10, 12, or any byte)  [KVT27]
  --firmware N                FirmwareVersion, 32 bits (from 2147483648 on it reads as negative)
                                                                                   [1200160822]
  --temperature-raw N         raw reading of the temperature command              [25 degrees C]
  --temperature C             the same, given in degrees Celsius
  --config-type N             ConfigType (DIP switches), 15 = settings from PC          [15]
  --word NAME=V | ADDR=V      a settings word by name (InputMode, OutputMode, FilterType, InZero,
                              InEnd, OutZero, OutEnd, LimitReaction, CalIn0mA, CalIn20mA,
                              CalOut0mA, CalOut20mA, CalIn0V, CalIn10V, CalOut0V, CalOut10V) or
                              by address 0..255; repeatable. In a file also "NAME = V" or
                              "word.NAME = V". Other addresses read 0 until written.
                              KVT27 defaults: CalIn0mA 32000, CalIn20mA 62000, CalIn0V 32000,
                              CalIn10V 60000, CalOut0mA 100, CalOut20mA 16100, CalOut0V 120,
                              CalOut10V 15920, InputMode 3, OutputMode 3, InZero 38000,
                              InEnd 62000, OutZero 3300, OutEnd 16100, FilterType 0,
                              LimitReaction 0. KVT27L defaults are 13-bit: CalIn0mA 1000,
                              CalIn20mA 7000, CalIn0V 1000, CalIn10V 7500, CalOut0mA 50,
                              CalOut20mA 8050, CalOut0V 60, CalOut10V 7960, ranges 4-20 mA.

Measured input (what the measure command returns; parameters 0 and 1 also store it as InZero /
InEnd):
  --signal constant|ramp|sine|noise                                               [constant]
  --signal-unit raw|mA|V|mV|%  unit of the values below; mA and V are turned into AD counts with
                              the calibration words, mV and % as the program reads them   [mA]
  --signal-value X            constant value, centre of sine and noise                    [12]
  --signal-low X, --signal-high X     ramp from low to high, then again                [4, 20]
  --signal-amplitude X        largest deviation of sine and noise                          [1]
  --signal-period S           seconds per ramp or sine cycle                              [60]

Faults (for tests; a command is always carried out, only its reply suffers):
  --mute                      answer nothing
  --no-reply-frame N          leave the Nth frame unanswered (counted from 1)
  --no-reply-command C        never answer command C (a code, or a name such as read-word,
                              write-word, measure, read-config, read-temperature, read-version,
                              identify)
  --no-reply-word A           never answer a read or write of word A (address or name)
  --fault-command C           the reply faults below touch only replies to command C
  --bad-crc                   replies with a wrong CRC
  --swap-crc                  replies with the two CRC bytes swapped
  --wrong-echo                reply byte 1 is another command's code (CRC valid)
  --wrong-station             identify reply echoes a wrong station address (CRC valid)
  --truncate-at N             send only the first N bytes of each reply (1..6)
  --split-at N                send a reply as N bytes, a pause, then the rest
  --split-pause-ms MS         that pause                                                   [0]
  --reply-delay-ms MS         wait before each reply                                       [0]
  --delay-frame N             delay only the reply to the Nth frame (counted from 1)
  --hang-up-after N           answer N frames, then close the line as frame N+1 arrives (its
                              sender sees a hang-up while it waits; the program then ends)
  --line-speed BAUD           take as long as a line at BAUD (8N1) does, for requests and
                              replies: 4800 gives about 2.08 ms per byte; 0 = at once      [0]

Other:
  --trace                     print every frame received and sent, decoded, on stderr
  --link PATH                 also make PATH a symbolic link to the device, removed at exit;
                              a PATH that exists is refused, unless it is a link to a gone
                              pseudo-terminal that a killed simulator left
  --no-register               keep the device out of the port list of kvt27-config and kvt27ctl
                              (by default it is listed there while the simulator runs)
  --config FILE               read settings from FILE (at most 1 MiB; it may include other
                              files with "config = FILE", but not itself, at most 16 deep)
  --help, -h                  this text
  --version                   the version
)";
}

} // namespace kvt::sim
