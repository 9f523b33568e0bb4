#pragma once
// Starts and stops the NMEA reader thread on the opened GPS port. The GPS module implements it;
// the instrument link only decides when. The thread has one stop mechanism, its stop token: it
// reads the port until asked to stop or until the port fails, and closes the port itself when
// it ends.

namespace orv {

class SerialPort;

class GpsReaderLauncher
{
public:
    virtual ~GpsReaderLauncher() = default;
    // Starts the thread on an open port; a thread of an earlier connection is stopped and
    // joined first. False when the thread could not be started.
    [[nodiscard]] virtual bool StartReader(SerialPort& port) = 0;
    // Asks the thread to stop. Without `wait` it returns at once and the thread closes the port
    // when its current read returns; with `wait` it returns once the thread has ended.
    virtual void StopReader(bool wait) = 0;
    // True from StartReader until the thread has ended.
    [[nodiscard]] virtual bool ReaderRunning() const = 0;
};

}  // namespace orv
