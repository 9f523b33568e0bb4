#pragma once
// The state of the instrument link as the operator sees it on the status strip: whether the
// port is open and the instrument answers, the port's name, and why it is not connected.

#include <optional>
#include <string>

namespace orv {

enum class InstrumentLink {
    Closed,        // not tried yet (no session)
    Connecting,    // the port is being opened, or open and not yet answered
    Connected,     // the last exchange was answered
    NotAnswering,  // the port opened, but the instrument did not answer
    NoPort,        // the port cannot be opened (no such device, no permission)
};

struct InstrumentLinkStatus
{
    InstrumentLink state = InstrumentLink::Closed;
    std::string port;    // "/dev/rfcomm5 (COM5:)"
    std::string reason;  // why it is not connected; empty when it is
    // The last battery reading in hundredths of a volt.
    std::optional<unsigned> centivolts;
};

}  // namespace orv
