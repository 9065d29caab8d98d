// A converter's configuration in a small text file, to be put onto another converter (the window's
// File menu and kvt27ctl save and apply):
//
//   # comment
//   input = current          # current | voltage | millivolt | resistance
//   input-begin = 4.000 mA   # mA, V, mV or %, as many decimals as the numeric entry takes
//   input-end = 20.000 mA
//   output = current         # current | voltage
//   output-begin = 4.000 mA  # mA or V, at most 3 decimals, no sign
//   output-end = 20.000 mA
//   filter = 0               # 0 none, 1 moving average, 2 polynomial
//   reaction = 0             # 0 none, 1 output 0 mA / 0 V, 2 above 21 mA / 10.4 V, 3 3.5 mA
//
// Every key once, in any order; the unit may be left out; "," may stand for ".". The ranges are
// engineering values: each converter turns them into its own words with its own calibration,
// exactly as the program's numeric range entry does.
#pragma once

#include "protocol/device_settings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvt {

struct TProfile {
    int InputMode = 0;  // 3..6
    std::string InBegin; // the value as written in the file, normalised: "4.000", "-5.250"
    std::string InEnd;
    int OutputMode = 0; // 3..4
    std::string OutBegin;
    std::string OutEnd;
    int FilterType = 0;
    int LimitReaction = 0;
};

// Throws EConfigError(TConfigFault::BadValue, "ORIGIN:LINE: ...") for anything that does not parse or lies
// outside the numeric entry's valid ranges.
TProfile ParseProfile(const std::string& Text, const std::string& Origin);

// The file text; Comment lines (without "#") head it.
std::string FormatProfile(const TProfile& Profile, const std::vector<std::string>& Comment = {});

// Reads File (a regular file of at most 1 MiB; a UTF-8 byte-order mark is dropped) and parses it
// whole. Throws EConfigError(CannotRead, "cannot read FILE: reason") or ParseProfile's error.
TProfile LoadProfile(const std::string& File);

// Throws EConfigError(CannotWrite, "cannot write FILE: reason") when File cannot be written safely
// now (datalog/safe_file.h); leaves nothing behind. For a check before the port is opened.
void CheckProfileTarget(const std::string& File);
// Writes Text as File safely: the old file stays whole until the new one is complete.
void WriteProfileFile(const std::string& File, const std::string& Text);

// The configuration of a converter whose settings are loaded, with the kinds in force and the
// ranges as its numeric range fields show them. Throws EConfigError(Refused) when there is none to save.
TProfile ProfileFromSettings(const TDeviceSettings& Settings);
// The same for a file that is saved: refused, for the reason and with the fault that applying it
// to this converter would give, when it could not be applied (a range outside the numeric entry's,
// a range of no width, an output code beyond the model's).
TProfile SavableProfile(const TDeviceSettings& Settings);

// A numeric field's text ("004,000", "-05,250") as a plain number ("4.000", "-5.250").
std::string PlainNumber(std::string FieldText);

// Names and units for texts and files.
std::string InputKindName(int InputMode);   // "current", ...
std::string OutputKindName(int OutputMode);
std::string InputUnit(int InputMode);       // "mA", "V", "mV", "%"
std::string OutputUnit(int OutputMode);

struct TPlannedWrite {
    uint8_t Address = 0;
    int Old = 0;
    int New = 0;
    bool Write = false; // false: unchanged, or skipped (Note says why)
    std::string Note;
};

// The words that put Profile onto the converter of Settings, in the order they are written:
// InZero, InEnd, InputMode, OutZero, OutEnd, OutputMode, FilterType, LimitReaction. Nothing is
// planned unless everything fits: throws EConfigError (Refused, or BadValue) otherwise. Left
// alone: a range word that reads as the file's value at the file's precision, and the kind words
// under a DIP configuration (the switches set the kinds).
std::vector<TPlannedWrite> PlanApply(const TProfile& Profile, const TDeviceSettings& Settings);

} // namespace kvt
