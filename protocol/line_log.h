// The line's log: every transaction of a session as it went, kept in a bounded ring so that a
// long session never grows it, and written out as lines of text only when someone reads them.
//
//   12:04:31.207  >  19 11 00 00 04 E6 C2  read word 4 (InputMode) station 17, crc ok
//   12:04:31.236  <  19 00 00 00 03 5F 3B  read word reply: 3, crc ok   (29 ms)
//   12:04:32.040  !  no reply to read word 10 (InZero)
#pragma once

#include "protocol/transactions.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace kvt {

// The lines of one transaction: the request, the reply when one was read, and what failed.
std::vector<std::string> TraceLines(const TExchange& X);

class TLineLog {
public:
    // Capacity: the transactions kept; the oldest go first.
    explicit TLineLog(std::size_t Capacity = 10000) : FCapacity(Capacity) {}

    void Add(const TExchange& X);
    void Clear();

    std::size_t Size() const { return FItems.size(); }
    // Every transaction added since the start, the ones dropped included.
    uint64_t Total() const { return FTotal; }
    const TExchange& At(std::size_t Index) const { return FItems[Index]; }

    // The lines of the transactions kept, oldest first, from the From-th kept one on.
    std::vector<std::string> Lines(std::size_t From = 0) const;
    // The whole log as text, a line each, for saving.
    std::string Text() const;

private:
    std::size_t FCapacity;
    std::deque<TExchange> FItems;
    uint64_t FTotal = 0;
};

} // namespace kvt
