// A port on the simulator's converter with the program's line settings and the transactions over
// it, for the pseudo-terminal (sim::TSimulator) and the line in memory (TMemorySim) alike.
#pragma once

#include "protocol/line_settings.h"
#include "protocol/transactions.h"
#include "serial/combackend.h"
#include "serial/comport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace kvt::test {

inline std::string Bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int v : b)
        s += static_cast<char>(v);
    return s;
}

// The port's end of the line: the simulator's own where it has one, else the system's.
template <class TSim>
std::unique_ptr<TComBackend> LineEnd(TSim& Sim)
{
    if constexpr (requires { Sim.Backend(); })
        return Sim.Backend();
    else
        return CreateComBackend();
}

template <class TSim>
class TTransactionsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Sim.Start();
        Port.SetDeviceName(Sim.DevicePath());
        ApplyConverterLineSettings(Port);
        Port.SetActive(true);
    }
    void TearDown() override
    {
        Port.SetActive(false);
        Sim.Stop();
    }

    // The exchange's reply and time kept as the tests read them; 1 for a valid reply.
    int Keep(const TExchange& X)
    {
        Last = X;
        Reply = X.Reply;
        if (X.ElapsedMs >= 0)
            Elapsed = X.ElapsedMs;
        return X.Ok() ? 1 : 0;
    }
    int Send(uint8_t Command, uint32_t Parameter) { return Keep(T.Send(Command, Parameter)); }
    int SendEE(uint8_t Command, uint8_t Address, uint16_t Value) { return Keep(T.SendEE(Command, Address, Value)); }

    TSim Sim;
    TComPort Port{LineEnd(Sim)};
    int Station = 17;
    std::vector<int> Shown;
    TTransactions T{Port, Station, [this](int Ms) { Shown.push_back(Ms); }};
    TExchange Last;
    std::string Reply;
    int Elapsed = -1;
};

} // namespace kvt::test
