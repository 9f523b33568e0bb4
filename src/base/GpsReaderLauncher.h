#pragma once
// Starts the NMEA reader thread on the opened GPS port. The GPS module implements it; the
// instrument link only decides when. The thread reads `port` while `running` is true, and closes
// the port itself when it ends.

#include <atomic>

namespace orv {

class SerialPort;

class GpsReaderLauncher
{
public:
    virtual ~GpsReaderLauncher() = default;
    // False when the thread could not be started.
    [[nodiscard]] virtual bool StartReader(SerialPort& port, std::atomic<bool>& running) = 0;
};

}  // namespace orv
