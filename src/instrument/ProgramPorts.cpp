#include "instrument/ProgramPorts.h"

#include "base/SerialPort.h"

#include <atomic>

namespace orv {

namespace {

// Stands in until the program installs its ports: every Open fails with a reason.
class AbsentPort final : public SerialPort
{
public:
    bool Open(const std::string&, uint32_t) override { return false; }
    bool Close() override { return true; }
    bool IsOpen() const override { return false; }
    bool Write(std::span<const uint8_t>) override { return false; }
    bool Read(std::span<uint8_t>, std::chrono::milliseconds, size_t& received) override
    {
        received = 0;
        return false;
    }
    void Purge() override {}
    std::string ErrorText() const override { return "no serial port is installed"; }
};

AbsentPort g_absentInstrument;
AbsentPort g_absentGps;
std::atomic<SerialPort*> g_instrument{&g_absentInstrument};
std::atomic<SerialPort*> g_gps{&g_absentGps};

}  // namespace

void InstallProgramPorts(SerialPort& instrument, SerialPort& gps)
{
    g_instrument = &instrument;
    g_gps = &gps;
}

SerialPort& InstrumentPort() { return *g_instrument.load(); }

SerialPort& GpsPort() { return *g_gps.load(); }

}  // namespace orv
