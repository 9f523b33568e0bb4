#pragma once
// A byte stream to the instrument or the GPS receiver, opened with the program's fixed line
// settings: 8 data bits, no parity, 1 stop bit, DTR and RTS on, no flow control. platform/ wraps
// QSerialPort (which opens pseudo-terminals too); tests use FakeSerialPort.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace orv {

class SerialPort
{
public:
    virtual ~SerialPort() = default;
    // Opens the device (closing it first when open). False when it cannot be opened or set up;
    // the port is then closed.
    [[nodiscard]] virtual bool Open(const std::string& device, uint32_t baud) = 0;
    // True when it was closed already or the close succeeded.
    virtual bool Close() = 0;
    [[nodiscard]] virtual bool IsOpen() const = 0;
    // Looks whether the device is still there without waiting: a port whose device went away
    // (a hang-up) is closed. True while it is open.
    virtual bool CheckAlive() { return IsOpen(); }
    // Writes all bytes; false when the port failed or took fewer.
    [[nodiscard]] virtual bool Write(std::span<const uint8_t> bytes) = 0;
    // Waits at most `timeout` for out.size() bytes and sets `received`. A timeout is a short
    // count, not a failure: false means the port itself failed (closed, device gone).
    [[nodiscard]] virtual bool Read(std::span<uint8_t> out, std::chrono::milliseconds timeout,
                                    size_t& received) = 0;
    // Drops whatever waits in the receive and transmit buffers.
    virtual void Purge() = 0;
    // Why the last Open, Write or Read failed, in words for the operator; empty when unknown.
    [[nodiscard]] virtual std::string ErrorText() const { return {}; }
};

// The handheld's read time-out: 10 ms per requested byte + 1000 ms.
constexpr std::chrono::milliseconds ReadTimeoutFor(size_t bytes)
{
    return std::chrono::milliseconds(10 * static_cast<long long>(bytes) + 1000);
}

}  // namespace orv
