// The standard streams on Windows: a port or a file is a handle, never a C runtime descriptor,
// so none of them can take a standard stream's place. A closed standard output shows when the
// write to it fails.
#include "platform/std_streams.h"

namespace kvt::platform {

TClosedStreams OpenClosedStandardStreams() noexcept
{
    return {};
}

} // namespace kvt::platform
