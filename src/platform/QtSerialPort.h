#pragma once
// The serial port on this platform: QSerialPort, which opens Bluetooth serial devices
// (/dev/rfcomm*) and pseudo-terminals alike. Opened with the program's fixed line settings (8
// data bits, no parity, 1 stop bit, no flow control, DTR and RTS on where the device has modem
// lines; a pseudo-terminal has none, and that is not an error).
//
// The GPS port is opened on the user-interface thread and then read, and closed, by the NMEA
// reader thread, while the user-interface thread may ask IsOpen or Close at any time. So the
// QSerialPort is detached from every thread's event loop once open (it is only ever driven by
// blocking waits), all calls are serialised, and a Read waits in short slices, so that a Close
// from another thread takes effect within about 50 ms and the pending Read then fails.
//
// A device that goes away (a dropped Bluetooth link, a simulator that closed its terminal) makes
// the port close itself: Read returns false and IsOpen false, so callers stop waiting at once.

#include "base/SerialPort.h"

#include <QtGlobal>

#include <atomic>
#include <memory>
#include <mutex>

class QSerialPort;

namespace orv {

class QtSerialPort final : public SerialPort
{
public:
    QtSerialPort();
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    bool Open(const std::string& device, uint32_t baud) override;
    bool Close() override;
    bool IsOpen() const override;
    bool CheckAlive() override;
    // Waits at most 10 ms per byte + 1000 ms for the device to take the bytes.
    bool Write(std::span<const uint8_t> bytes) override;
    bool Read(std::span<uint8_t> out, std::chrono::milliseconds timeout, size_t& received) override;
    void Purge() override;
    std::string ErrorText() const override;

private:
    // With m_mutex held.
    void CloseLocked();
    void SetError(std::string text);

    mutable std::mutex m_mutex;
    std::unique_ptr<QSerialPort> m_port;
    std::string m_device;
    std::string m_error;
    std::atomic<bool> m_open{false};
    std::atomic<int> m_closeRequests{0};
};

}  // namespace orv
