#include "tools/ctl/ctl.h"

namespace kvt::ctl {

namespace {

constexpr const char* General = R"(kvt27ctl: configure a KVT27 or KVT27L converter from the command line.

Usage: kvt27ctl COMMAND [--port NAME] [options]
  or:  kvt27ctl COMMAND --help
  or:  kvt27ctl --version

Commands:
  ports                 list the serial ports, as the program's port list shows them
  info                  model, firmware, temperature and configuration
  read                  the sixteen settings words and both ranges
  write NAME VALUE      write one settings word
  measure               read the input once, or record it (--count, --period, --csv)
  save FILE             save the configuration (kinds, ranges, filter, reaction) to FILE
  apply FILE            put a saved configuration onto a converter (--dry-run to preview)
  record                the work record: settings as found and as left, as JSON
  output VALUE          loop test: drive the output at 12mA, 5V or 50% until Enter, then release
  history               a converter's history: its tag, place, note and sessions
  job run JOB.csv       a workshop job: converter after converter on one port, each configured,
                        checked and recorded (--records DIR)
  find                  which port the converter is on: every port asked at once
  doctor                why a port does not work: each check with its verdict
  help [COMMAND]        this text, or a command's

--trace (every command but ports, find and doctor): each frame sent and received, with its time, decoded, and
what failed, on standard error, as the program's line log shows it.

--port NAME: a name from "kvt27ctl ports" such as ttyUSB0 opens /dev/ttyUSB0; an absolute path
opens as it stands. The port runs as in the program: 4800 Bd, 8N1, DTR off, RTS on. A converter
that does not answer is given up after 800 ms.
--port auto: the one converter that "kvt27ctl find" finds (see kvt27ctl find --help).

Exit status:
  0    success
  1    a failure not listed below (a file that cannot be written, ...)
  2    a bad argument: an unknown command or option, a value out of range, a file that does not
       parse; nothing was written
  3    the port cannot be opened
  4    the converter does not answer, or the line failed
  5    something answers on the port, but it is not a KVT27 or KVT27L
  6    the converter's model or configuration does not allow it (nothing was written)
  129, 130, 143
       stopped by SIGHUP, Ctrl-C or SIGTERM (128 + the signal), always between two frames: a
       recording keeps the samples taken, apply lists the words it wrote and those it did not

Results go to standard output, messages to standard error; a result that cannot be written there
(a closed pipe, a full disk) is exit status 1. With --json a command prints JSON (UTF-8, numbers as
numbers, no locale in any value) in the shape its help shows.
)";

constexpr const char* Ports = R"~(Usage: kvt27ctl ports [--json]

Lists the serial ports present, one a line, as the program's port list shows them: the system's
own ports first, then the ports of the kvt27-sim simulators running for this user. A port's name
comes first (what --port takes), then what the system knows of the adapter:
  ttyUSB0 — FTDI FT232R USB UART (A10K3X)

  --json    one JSON array, an object for each port:
            [{"name": "ttyUSB0", "shown": "ttyUSB0 — FTDI FT232R USB UART (A10K3X)",
              "description": "FTDI FT232R USB UART", "manufacturer": "FTDI",
              "serial_number": "A10K3X", "stable_name": "/dev/serial/by-id/usb-FTDI_...",
              "hardware_id": "0403:6001", "driver": "ftdi_sio", "simulator": false}]
            Empty texts where the system tells nothing; stable_name opens the same adapter
            after a re-plug.
)~";

constexpr const char* Info = R"(Usage: kvt27ctl info --port NAME [--json]

Identifies the converter as the program does and shows its model, firmware version (as
1.200/160822), internal temperature (KVT27 only) and configuration: the DIP-switch setting
0..10 with its text, 11..14 (not allowed), or 15 (settings from the PC).

  --json    one JSON object instead of the text:
            {"port": "/dev/ttyUSB0", "model": "KVT27", "device_model": 10,
             "firmware": 1200160822, "firmware_text": "1.200/160822",
             "temperature_c": 25 (null on a KVT27L), "config_type": 15, "config_text": "..."}
)";

constexpr const char* Read = R"(Usage: kvt27ctl read --port NAME [--json]

Reads the sixteen settings words and shows them with their addresses, names and meanings,
then the input range as the program's range labels show it (for example 4000 uA .. 20000 uA)
with the numeric entry's fields, and the output range as its numeric fields show it.

  --json    one JSON object instead of the text: the fields of "info --json", then
            "words": {"InputMode": 3, ... all sixteen by name},
            "input": {"kind": "current", "unit": "uA", "begin": 4000, "end": 20000}
                     (unit uA, mV or %, as the range labels; null without a known input kind),
            "output": {"kind": "voltage", "unit": "V", "begin": 1.0, "end": 9.0}
                     (unit mA or V, as the numeric fields; null without a known output kind)
)";

constexpr const char* Write = R"(Usage: kvt27ctl write --port NAME WORD VALUE

Writes one settings word. WORD is one of
  InputMode      3 current, 4 voltage, 5 millivolt (KVT27 only), 6 resistance transmitter
  OutputMode     3 current, 4 voltage
  FilterType     0 none, 1 moving average, 2 polynomial filter (KVT27 only)
  InZero, InEnd  raw input words, 0..65535
  OutZero, OutEnd  output DA codes, 0..16383 on a KVT27, 0..8191 on a KVT27L
  LimitReaction  0 none, 1 output 0 mA / 0 V, 2 output above 21 mA / 10.4 V, 3 output 3.5 mA
                 (3 only in configuration 0; needs a KVT27L or a KVT27 above firmware 1.100)
The calibration words (CalIn0mA ... CalOut10V) are never written. A value outside what the word
takes is refused and nothing is written. Names are not case-sensitive.

  --json    {"word": "FilterType", "address": 8, "old": 0, "new": 2,
             "meaning": "polynomial filter ...", "power_cycle_needed": false}
)";

constexpr const char* Measure = R"(Usage: kvt27ctl measure --port NAME [--count N] [--period SECONDS] [--csv FILE] [--json]

Without options: one reading of the input, as the program shows it (for example 12000 uA).

With --count or --csv: a recording as the program's datalog makes it. A first reading checks the
line; then N samples follow, one each period, each printed on its own line as it comes.
  --count N           number of samples (default 1)
  --period SECONDS    time between samples, 0.1 .. 86400 (default 1); "30", "0.5", "2 min"
  --csv FILE          also write the samples to FILE in the program's CSV format: the period text
                      (such as "1 sec") on the first line, then one sample a line, each line ending
                      in ";" and CR LF. FILE is used as given; it is checked before the first
                      frame, and written only when at least one sample was taken.
  --json              {"raw": 41234, "value": 12000, "unit": "uA"} for the reading (value in uA,
                      mV or %); a recording prints one such object a line, with "sample": 1, 2, ...
Whatever ends a recording early (Ctrl-C, SIGTERM, SIGHUP, a lost line, a closed standard output),
the samples taken are written and the tool says how many and where. On a terminal the progress
("12 of 60") is shown on standard error.
)";

constexpr const char* Save = R"(Usage: kvt27ctl save --port NAME FILE

Saves the converter's configuration to FILE ("-" for standard output): the input and output
kinds, both ranges in engineering units as the program's numeric range fields show them, the
filter and the reaction. The file is plain text, one "key = value" a line, "#" comments:

  input = current          # current, voltage, millivolt or resistance
  input-begin = 4.000 mA   # mA, V, mV or %
  input-end = 20.000 mA
  output = current         # current or voltage
  output-begin = 4.000 mA  # mA or V, no sign
  output-end = 20.000 mA
  filter = 0               # 0 none, 1 moving average, 2 polynomial
  reaction = 0             # 0 none, 1 output 0 mA / 0 V, 2 above 21 mA / 10.4 V, 3 3.5 mA

Every key once, in any order; the unit may be left out; "," may stand for the decimal point.

  --json    {"file": "good.kvt" (null for -), "port": ..., "model": "KVT27",
             "configuration": {"input": "current", "input_unit": "mA", "input_begin": 4.0,
             "input_end": 20.0, "output": "current", "output_unit": "mA", "output_begin": 4.0,
             "output_end": 20.0, "filter": 0, "reaction": 0}}
)";

constexpr const char* Apply = R"(Usage: kvt27ctl apply --port NAME FILE [--dry-run]

Puts a configuration saved with "kvt27ctl save" onto a converter. The ranges are turned into this
converter's own words with its own calibration, exactly as the program's numeric range entry
does, so the same file gives the same ranges on every converter. Words that already hold their
value are not written: a range word that reads as the file's value at the file's precision, and
under a DIP configuration the unused kind words, are kept, so a converter's own file writes
nothing to it. Nothing at all is written when the file does not parse, a value is out of range,
or the converter cannot take the configuration (another DIP setting, a missing feature).

A write whose reply is lost may have been stored: it is "unknown", the word is read back once the
line is quiet, and what the converter holds is said. The writing stops there; the rest is "not
written". When standard output goes away meanwhile (| head), the writes still go on; the lists
then come on standard error, with exit status 1.

  --dry-run    show the words that would be written, and write nothing
  --json       {"dry_run": false, "complete": true,
                "words": [{"word": "InZero", "address": 10, "old": 38000, "new": 37200,
                           "action": "write", "note": ""}, ...], "power_cycle_needed": false}
               action: "write", "would write", "keep" (note says why), "not written" or
               "unknown" (note "may have been stored", and "holds": the word read back, or null)
)";

constexpr const char* Record = R"(Usage: kvt27ctl record --port NAME [--as-found FILE]

Prints the work record of the converter as one JSON object: its identification, then its settings
as found and as left side by side in engineering units, the sixteen words of both, and the
measurements (kvt27ctl takes none; the program's record lists those of its session).

  --as-found FILE   the settings as found: the JSON of an earlier "kvt27ctl read --json" or
                    "kvt27ctl record" on the same converter (its calibration words must match).
                    Without it, as found is as left: now.

  {"time": "2026-12-08T14:03:00Z", "port": ..., "model": ..., (the fields of "info --json"),
   "settings": [{"setting": "input", "as_found": "current", "as_left": "voltage", "changed": true},
                {"setting": "input-begin", "unit": "mA", "as_found": 4.0, "as_left": 4.0,
                 "changed": false}, ... output, output-begin, output-end, filter, reaction],
   "words": {"as_found": {"InputMode": 3, ...}, "as_left": {...}},
   "measurements": []}
A setting that cannot be told (a configuration that is not allowed) is null; a range whose kind
changed carries its unit in the text ("4.000 mA").
)";

constexpr const char* Output = R"(Usage: kvt27ctl output --port NAME VALUE [--hold SECONDS]

The loop test: drives the converter's output at VALUE, so that the control system's reading can
be checked, and gives the output back to the converter when the test ends. VALUE is in mA (12mA)
on a current output, in V (5V) on a voltage output, or in % of the output range set on the
converter (50%: half-way between its range begin and end). The code driven is computed from the
converter's own output calibration words, as the program's numeric output entry computes it.

The output stays driven until Enter, the end of the input (Ctrl-D), Ctrl-C, SIGTERM, SIGHUP or,
with --hold, the time; then it is released. It is released on every way out while the line can
still take the frame; when it cannot, the tool says so (exit status 4): the converter may still
drive the output.

  --hold SECONDS   end the test after this time (0.1..86400). An input that is at its end from
                   the start (/dev/null) then ends nothing.

Prints the value and the code driven when the output is driven (driving 12.000 mA, code 9750,
on /dev/ttyUSB0), and what ended the test when it is released. A value outside 0..21 mA, 0..10.5 V or 0..100 %, or one that
gives a code outside the model's (0..16383 on a KVT27, 0..8191 on a KVT27L), is refused with exit
status 2 before anything is driven; mA on a voltage output (or V on a current one) with 6.
)";

constexpr const char* History = R"(Usage: kvt27ctl history --port NAME | --fingerprint F [--json]
                        [--tag TAG] [--place TEXT] [--note TEXT]

Shows a converter's history: the register the program and kvt27ctl keep of each converter in the
user's data folder (~/.local/share/kvt27-config/history, or $XDG_DATA_HOME; %LOCALAPPDATA% on
Windows; $KVT27_HISTORY_DIR in its place when set), one file a converter, only ever appended to.
A converter is known again by its fingerprint: model, firmware and its eight factory calibration
words (KVT27-1200160822-7D00F230...). The register holds the tag, the customer or place and the
note typed for it, and one entry per session that changed or recorded something: its time, port,
the program, the settings as found and as left, the words written, and the record file with its
SHA-256. "apply" (when it wrote something) and "record" keep such an entry; "write" keeps none
(it reads no calibration words).

With --port the converter is read and its settings now are compared with those the last session
left: "Last seen 2026-03-04 as FT-101; since then InEnd 62000 -> 61990". With --fingerprint the
register is shown without a converter.

  --tag TAG, --place TEXT, --note TEXT
            set what the register says of the converter ("-" clears it); kept as a line of its own
  --json    {"fingerprint": ..., "file": ..., "labels": {"tag": ..., "place": ..., "note": ...},
             "last_seen": {"time": "2026-03-04T10:12:00Z", "tag": "FT-101",
                           "changes": [{"word": "InEnd", "was": 62000, "now": 61990}]} (null
                           without --port or without a session),
             "entries": [{"time": ..., "port": ..., "program": "kvt27ctl apply", "tag": ...,
                          "place": ..., "note": ..., "written": ["InEnd"], "changes": [...as found
                          to as left], "as_found": {"InputMode": 3, ...}, "as_left": {...},
                          "record": "", "record_sha256": ""}, ...],
             "problems": [...]}
A damaged line of the register, or one cut off by a write that did not finish, is told on
standard error and left out; every other entry is shown. A new entry never rewrites the file.
)";

constexpr const char* Job = R"(Usage: kvt27ctl job run JOB.csv --port NAME --records DIR [--from ROW] [--json]

Configures converter after converter on one port, as a workshop bench does. JOB.csv names each
converter's tag and its configuration: a configuration file of "kvt27ctl save" (relative to
JOB.csv), or the configuration's columns, with the configuration file's keys and units:

  tag,config
  FT-101,pump.kvt
  FT-102,pump.kvt

  tag,input,input-begin,input-end,output,output-begin,output-end,filter,reaction
  TT-7,current,4 mA,20 mA,voltage,0 V,10 V,0,0

A header may have both; each row then fills the config column or all the others. Fields are
separated by "," (or by ";" when the header has ";" and no ","); a field holding the separator
goes in double quotes. Empty lines and lines starting with "#" are skipped. The whole job, and
every configuration it names, is checked before the port is touched: a mistake is told with its
line ("JOB.csv:4: input-begin: the unit is mA, not "V"") and nothing is done (exit status 2).

For each row the tool asks on standard error for the converter ("connect the converter for
FT-101") and identifies once a second until one answers. It reads the converter as found, applies
the row's configuration by the rules of "kvt27ctl apply" (a converter that cannot take it is
skipped, with the reason, and nothing is written to it), reads the words back and compares them,
writes its record to DIR/TAG.json (what "kvt27ctl record" prints; a skipped converter's too, as
found), and asks for it to be unplugged: the next row begins when it no longer answers. The
same converter plugged in again is not taken for the next row. A line after each row on standard
output tells its result.

The summary, DIR/JOB-summary.csv and DIR/JOB-summary.json, is written after every row: for each
row its tag, the converter (model, firmware, fingerprint: model, firmware and the factory
calibration words, the program's way of knowing a converter again), the result (done, skipped,
mismatch, failed, stopped, not run), the reason, the words written, unknown (may have been
stored) and not written, the record, and the time. DIR must exist.

A converter that stops answering while it is written (pulled out) ends the job at its row, exit
status 4: the summary lists its words written, unknown and not written, and says where it stopped.
Ctrl-C, SIGTERM or SIGHUP end the job between converters or between two words, never inside a
frame (128 + the signal). Either way the job resumes at that row with --from:

  --from ROW    start at row ROW (from 1); the summary keeps what the earlier run wrote of the
                rows before it
  --json        the summary's JSON on standard output at the end:
                {"job": "JOB.csv", "port": ..., "started": ..., "finished": ..., "complete": true,
                 "stopped_at_row": null, "stop_reason": "",
                 "rows": [{"row": 1, "line": 2, "tag": "FT-101", "model": "KVT27",
                           "firmware": "1.200/160822", "fingerprint": "KVT27-1200160822-...",
                           "result": "done", "reason": "", "written": ["InZero", ...],
                           "unknown": [], "not_written": [], "record": "DIR/FT-101.json",
                           "started": ..., "finished": ..., "seconds": 2.5}, ...]}

Exit status: 0 every row done; 6 a converter skipped; 1 a word that reads back otherwise, or a
record or summary that could not be written; 4 the converter failed while it was worked on.
)";
constexpr const char* Find = R"~(Usage: kvt27ctl find [--json]

Asks every port at once whether a converter is on it, and lists those that answer, one a line:
  ttyUSB0 — FTDI FT232R USB UART (A10K3X): KVT27, firmware 1.200/160822
Each port gets the identification's first question and, where a converter answers it, the
version question: nothing is written. The search takes about one reply's time (800 ms) however
many ports there are. The candidates are the system's ports and the running simulators; not
asked are the system console, a port another program holds open, and an on-board UART that the
kernel reports as absent. When nothing answers, exit status 4 and what each port gave on
standard error.

"--port auto" on any other command does the same search and uses the one converter found: none
is exit status 4, several are exit status 2, with the list.

  --json    one JSON object:
            {"found": [{"port": "ttyUSB0", "model": "KVT27", "device_model": 10,
                        "firmware": 1200160822, "firmware_text": "1.200/160822"}],
             "ports": [{the fields of "ports --json", "outcome": "converter", "other",
                        "silent", "not-opened" or "skipped", "text": "...", "ms": 805}]}
)~";

constexpr const char* Doctor = R"~(Usage: kvt27ctl doctor [--port NAME] [--json]

Says why a port does not work, one check a line with its verdict (ok, warning, problem,
skipped):
  present       the port's device is there (not unplugged, not renamed after a re-plug)
  access        this user may use it (else the group to join, and how)
  held          no other program holds it open (else its name and process id)
  brltty        the braille display service is not running (it takes USB serial adapters away)
  modemmanager  the modem service is not running (it probes newly plugged ports for seconds)
  reply         the converter answers the identification's first question (else: is it
                powered, is the cable in its PC socket, are the DIP switches set)
Without --port: the brltty and modemmanager checks, then what each port gives to the search.
Exit status 1 when a check finds a problem, 0 otherwise.

  --json    one JSON object: {"port": "ttyUSB0" (null without --port), "checks": [{"check":
            "held", "verdict": "problem", "detail": "...", "holders": [{"pid": 4242, "name":
            "minicom"}]}, ...], "problem": true}
)~";

} // namespace

std::string CtlHelp(const std::string& Command)
{
    if (Command.empty() || Command == "help")
        return General;
    if (Command == "ports")
        return Ports;
    if (Command == "info")
        return Info;
    if (Command == "read")
        return Read;
    if (Command == "write")
        return Write;
    if (Command == "measure")
        return Measure;
    if (Command == "save")
        return Save;
    if (Command == "apply")
        return Apply;
    if (Command == "record")
        return Record;
    if (Command == "output")
        return Output;
    if (Command == "history")
        return History;
    if (Command == "job")
        return Job;
    if (Command == "find")
        return Find;
    if (Command == "doctor")
        return Doctor;
    return {};
}

} // namespace kvt::ctl
