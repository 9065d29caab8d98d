// The simulator's converter on a line in memory, for the rule tests of the transactions and the
// session. A port made with its Backend() hands each request to the converter (with its faults)
// as it is written, and gets the reply at the time the faults say: no device, no thread, nothing
// to wait for but the port's own time limits, which a test may cut. Line speeds are not kept
// (LineBaud): bytes travel at once. Used from one thread, as a port is.
#pragma once

#include "serial/combackend.h"
#include "tools/sim/simulator.h"

#include <memory>
#include <string>

namespace kvt::test {

class TMemorySim : public sim::TSimConverter {
public:
    explicit TMemorySim(const sim::TConverterConfig& Config = {});
    ~TMemorySim();
    TMemorySim(const TMemorySim&) = delete;
    TMemorySim& operator=(const TMemorySim&) = delete;

    // The port's end of the line: TComPort Port{Sim.Backend()}, the simulator living longer.
    std::unique_ptr<TComBackend> Backend();

    // As the simulator's: Start makes a new line, counters and frames cleared; Stop takes it away.
    void Start();
    void Stop();
    std::string DevicePath() const { return "memory"; }
    // The line goes down now: a port on it sees a hang-up.
    void HangUp();
    bool HungUp() const;

    struct TLine; // shared with the port's end

private:
    std::shared_ptr<TLine> FLine;
};

} // namespace kvt::test
