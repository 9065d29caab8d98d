// Finding the converter by itself: every candidate port asked at once, each on a port of its own,
// with a search's question only (TConverterModel::Probe: nothing is written), so the whole search
// takes about one reply's time whatever the number of ports.
#pragma once

#include "model/converter_model.h"
#include "model/system_view.h"
#include "serial/portinfo.h"

#include <functional>
#include <string>
#include <vector>

class TComPort;

namespace kvt {

// What a port gave.
enum class TProbeVerdict {
    Converter, // a KVT27 or KVT27L answered
    Other,     // something answered, but not a converter (Detail says what)
    Silent,    // no reply in time, or the line failed (Detail)
    NotOpened, // the port would not open (Detail: the system's reason)
    Skipped,   // not asked (Skip says why)
};

enum class TProbeSkip {
    None,
    Console,     // the system console
    Held,        // another program holds it open (Holders)
    UartAbsent,  // an on-board UART the kernel reports as absent
};

struct TProbe {
    TPortInfo Port;
    TProbeVerdict Verdict = TProbeVerdict::Silent;
    TProbeSkip Skip = TProbeSkip::None;
    std::vector<TPortHolder> Holders;
    int ErrorCode = 0;  // NotOpened: the system's code
    std::string Detail; // in English: the reason, or what answered
    TIdentity Identity; // Converter: the model and firmware
    int Ms = 0;         // how long the port took
};

struct TFindSetup {
    TSystemView System;
    // Runs on each port before it opens, after the converter's line settings (tests shorten the
    // time limits with it).
    std::function<void(TComPort&)> PortSetup;
};

// The device a listed port opens in View: a name from a tree other than /dev opens there, so a
// test's list never reaches the machine's own ports.
std::string ViewDevice(const TPortInfo& Port, const TSystemView& View);

// Asks the view's ports (ViewPorts), every one at once, and says what each gave, in list order.
std::vector<TProbe> FindConverters(const TFindSetup& Setup);
// The same for Ports as given.
std::vector<TProbe> ProbePorts(const std::vector<TPortInfo>& Ports, const TFindSetup& Setup);
// The ones where a converter answered.
std::vector<TProbe> ConvertersFound(const std::vector<TProbe>& Probes);

// English, for kvt27ctl: "KVT27, firmware 1.200/160822", "no reply in 800 ms", "the system
// console", "held by minicom (pid 4242)".
std::string ProbeText(const TProbe& Probe);

} // namespace kvt
