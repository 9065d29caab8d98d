// Reads and writes of the port: at most one of each direction at a time, each ended by its byte
// count or its time limit, each followed by the line-error check when it is collected.
#include "serial/comport.h"

#include "serial/combackend.h"
#include "serial/comthread.h"
#include "serial/comtransfer.h"
#include "serial/syserror.h"

using kvt::serial::TClock;
using kvt::serial::TotalLimit;
using namespace std::chrono;

// Moves what can be moved now in both directions, without waiting.
void TCustomComPort::ProgressTransfers()
{
    const TClock::time_point Now = TClock::now();
    FTransfers->Write.Progress(*FBackend, Now);
    if (FTransfers->Read.Progress(*FBackend, Now) && FThread)
        FThread->Waiter->NoteRead();
}

// Moves data for both directions until the transfer of the one waited for has ended. A write
// that still has bytes for the driver keeps moving while a read is waited for, so a reply never
// waits for the rest of its own request.
void TCustomComPort::PumpTransfers(bool ForRead)
{
    auto& Read = FTransfers->Read;
    auto& Write = FTransfers->Write;
    for (;;) {
        ProgressTransfers();
        const TClock::time_point Now = TClock::now();
        if (ForRead ? !Read.Running() : !Write.Running())
            return;

        std::optional<TClock::time_point> Wake = ForRead ? Read.WakeAt() : Write.WakeAt(*FBackend, Now);
        if (ForRead && Write.HasUnsent()) {
            auto WriteWake = Write.WakeAt(*FBackend, Now);
            if (WriteWake && (!Wake || *WriteWake < *Wake))
                Wake = WriteWake;
        }
        nanoseconds Timeout(-1);
        if (Wake)
            Timeout = std::max(nanoseconds::zero(), duration_cast<nanoseconds>(*Wake - Now));

        unsigned Ready = 0;
        int e = FBackend->WaitIo(ForRead, Write.HasUnsent(), Timeout, Ready);
        if (e != 0) {
            if (ForRead)
                Read.End(e);
            else
                Write.End(e);
            return;
        }
        if (Ready & IoHangup) {
            // A hung-up device reports itself at once forever; take what is left, then stop.
            ProgressTransfers();
            Read.End(kvt::serial::ErrorDeviceGone);
            Write.End(kvt::serial::ErrorDeviceGone);
            return;
        }
    }
}

void TCustomComPort::Read(void* Buffer, int32_t Length, bool WaitOnCompletion)
{
    CheckOpen();
    if (auto Handler = FBeforeRead)
        Handler(this, Buffer, Length, WaitOnCompletion);
    WaitForRead();
    if (Length > 0) {
        // A line-error handler may have closed the port in the check above: nothing is read.
        if (!Active())
            CheckSystemCall(kvt::serial::ErrorBadHandle);
        if (Buffer == nullptr)
            CheckSystemCall(kvt::serial::ErrorBadBuffer);
        if (!FLogFile.empty())
            WriteLog("Read request " + std::to_string(Length) + " byte(s)");
        const TClock::time_point Now = TClock::now();
        FTransfers->Read.Start(Buffer, Length,
            TotalLimit(FTimeouts.ReadMultiplier(), FTimeouts.ReadConstant(), Length),
            milliseconds(static_cast<uint32_t>(FTimeouts.ReadInterval())), FOptions.Contains(opDiscardNullBytes),
            Now);
        ProgressTransfers();
        if (WaitOnCompletion)
            WaitForRead();
    }
    if (auto Handler = FAfterRead)
        Handler(this, Buffer, Length, WaitOnCompletion);
}

void TCustomComPort::Write(const void* Buffer, int32_t Length, bool WaitOnCompletion)
{
    CheckOpen();
    if (auto Handler = FBeforeWrite)
        Handler(this, Buffer, Length, WaitOnCompletion);
    WaitForWrite();
    if (Length > 0) {
        if (!Active())
            CheckSystemCall(kvt::serial::ErrorBadHandle);
        if (Buffer == nullptr)
            CheckSystemCall(kvt::serial::ErrorBadBuffer);
        if (!FLogFile.empty())
            WriteLog("Write request ", Buffer, Length);
        const void* Source = Buffer;
        if (!WaitOnCompletion) {
            // The caller may free its data as soon as this returns.
            auto Bytes = static_cast<const uint8_t*>(Buffer);
            FWriteCopy.assign(Bytes, Bytes + Length);
            Source = FWriteCopy.data();
        }
        const TClock::time_point Now = TClock::now();
        FTransfers->Write.Start(Source, Length,
            TotalLimit(FTimeouts.WriteMultiplier(), FTimeouts.WriteConstant(), Length), Now);
        if (FThread && FOnTxEmpty)
            FThread->Waiter->NoteWrite();
        ProgressTransfers();
        if (WaitOnCompletion)
            WaitForWrite();
    }
    if (auto Handler = FAfterWrite)
        Handler(this, Buffer, Length, WaitOnCompletion);
}

void TCustomComPort::WriteString(const std::string& Data)
{
    Write(Data.data(), static_cast<int32_t>(Data.size()), false);
}

// A read that was started is collected here, also one that ended before (then nothing waits).
// Its result is taken before the line-error check, so a handler that raises or closes the port
// leaves no transfer behind that would later point into a caller's freed buffer.
void TCustomComPort::WaitForRead()
{
    kvt::serial::TTransferResult Result;
    bool Collected = false;
    if (FTransfers->Read.Started()) {
        PumpTransfers(true);
        Result = FTransfers->Read.Collect();
        Collected = true;
        if (Result.Error != 0) {
            // A hang-up is a line error first (reported once), then this transfer's failure.
            if (FBackend->HungUp() && Active())
                CheckLineErrors();
            CheckSystemCall(Result.Error);
        }
        if (Result.Moved != Result.Count)
            RaiseTimeout();
    }
    CheckLineErrors();
    if (Collected && !FLogFile.empty() && Result.Count > 0)
        WriteLog("Read complete ", Result.Buffer, Result.Count);
}

void TCustomComPort::WaitForWrite()
{
    kvt::serial::TTransferResult Result;
    bool Collected = false;
    if (FTransfers->Write.Started()) {
        PumpTransfers(false);
        Result = FTransfers->Write.Collect();
        Collected = true;
        if (Result.Error != 0) {
            if (FBackend->HungUp() && Active()) {
                CheckLineErrors();
                // The handler was told of the hang-up and closed the port: as with any line error
                // in a transaction, the next operation fails on the closed port.
                if (!Active())
                    return;
            }
            CheckSystemCall(Result.Error);
        }
        if (Result.Moved != Result.Count)
            RaiseTimeout();
    }
    CheckLineErrors();
    if (Collected && !FLogFile.empty() && Result.Count > 0)
        WriteLog("Write complete ", Result.Buffer, Result.Count);
}

bool TCustomComPort::ReadPending()
{
    if (!Active())
        return false;
    ProgressTransfers();
    return FTransfers->Read.Running();
}

bool TCustomComPort::WritePending()
{
    if (!Active())
        return false;
    ProgressTransfers();
    return FTransfers->Write.Running();
}

void TCustomComPort::PurgeInput()
{
    if (!Active())
        return;
    FTransfers->Read.Abandon();
    CheckSystemCall(FBackend->Purge(true, false));
    if (FThread)
        FThread->Waiter->NoteRead();
}

void TCustomComPort::PurgeOutput()
{
    if (!Active())
        return;
    FTransfers->Write.Abandon();
    CheckSystemCall(FBackend->Purge(false, true));
}
