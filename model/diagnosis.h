// Why a port does not work: the checks a technician would make by hand, each with a verdict, read
// from the system the view gives (tests give a tree of their own). The window shows the causes
// found beside its own messages; kvt27ctl doctor prints every check.
#pragma once

#include "model/finder.h"
#include "model/system_view.h"

#include <string>
#include <vector>

namespace kvt {

enum class TCheckKind {
    Present,      // the port's device is there
    Access,       // this user may open it (the port's group)
    Holders,      // no other program holds it open
    Brltty,       // the braille display service, which takes USB serial adapters away
    ModemManager, // the modem service, which probes new ports for seconds
    Reply,        // the converter answers
};

enum class TCheckVerdict { Ok, Warning, Problem, Skipped };

struct TCheck {
    explicit TCheck(TCheckKind K) : Kind(K) {}
    TCheckKind Kind;
    TCheckVerdict Verdict = TCheckVerdict::Ok;
    std::string Detail;               // English: what was found
    std::string Group;                // Access: the group that grants it
    std::vector<TPortHolder> Holders; // Holders: who
    std::vector<long> Pids;           // Brltty, ModemManager: the running processes
    TProbe Probe;                     // Reply: what the port gave
};

struct TDiagnoseSetup {
    TFindSetup Find;       // the system view, and the ports' setup for the question
    bool AskConverter = true; // false: the system's checks alone (the window has asked already)
};

// The checks for the port named PortText (as --port and the port box take it), in the order
// of TCheckKind. The converter is asked only when nothing before it is a Problem.
std::vector<TCheck> DiagnosePort(const std::string& PortText, const TDiagnoseSetup& Setup);
// The system-wide checks alone (brltty, ModemManager): for doctor without a port.
std::vector<TCheck> DiagnoseSystem(const TSystemView& View);

// English, for kvt27ctl: "present", "access", ...; "ok", "warning", "problem", "skipped".
const char* CheckName(TCheckKind Kind);
const char* VerdictName(TCheckVerdict Verdict);

} // namespace kvt
