#pragma once
// Starts and stops the link to the GPS receiver: one thread that owns the GPS port while the GPS
// is wanted. The GPS module implements it (NmeaReader); the instrument link only decides when.
//
// The thread opens the port itself, reads it, and when a read fails or the device goes away it
// closes the port and opens it again every second or so until the receiver is back, for as long
// as the link runs: a GPS outage never ends the link and never blocks the instrument. It has one
// stop mechanism, its stop token, and closes the port when it ends.

#include <cstdint>
#include <string>

namespace orv {

class SerialPort;

// Where the GPS receiver is, read from the configuration on the owner's thread when the link
// starts and handed to the thread, which never reads the configuration.
struct GpsPortSettings
{
    std::string path;  // device path, e.g. "/dev/rfcomm8"
    uint32_t baud = 9600;

    bool operator==(const GpsPortSettings&) const = default;
};

class GpsReaderLauncher
{
public:
    virtual ~GpsReaderLauncher() = default;
    // Starts the link on `port` (closed or not; the thread opens it). A link already running is
    // stopped and joined first. Returns at once, before the port is opened. False when the
    // thread could not be started.
    [[nodiscard]] virtual bool StartReader(SerialPort& port, const GpsPortSettings& settings) = 0;
    // Asks the thread to stop. Without `wait` it returns at once and the thread closes the port
    // when its current read returns; with `wait` it returns once the thread has ended.
    virtual void StopReader(bool wait) = 0;
    // True from StartReader until the thread has ended.
    [[nodiscard]] virtual bool ReaderRunning() const = 0;
};

}  // namespace orv
