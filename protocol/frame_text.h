// Readable one-line descriptions of frames, for traces of the line traffic.
#pragma once

#include "protocol/frame.h"

#include <string>

namespace kvt {

// "identify station 17", "read word 4 (InputMode) station 17", "write word 14 (OutZero) = 8191 ...";
// ends in "crc ok" or "crc BAD".
std::string DescribeRequest(const TFrame& Request);

// The reply to a request of command RequestCommand, with the fields its caller reads:
// "identify reply: station echo 17, model 10 (KVT27)", "read word reply: 3", ...
std::string DescribeReply(const TFrame& Reply, uint8_t RequestCommand);

} // namespace kvt
