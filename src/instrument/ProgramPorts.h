#pragma once
// The program's two serial ports, `instrumentPort` and `gpsPort`: program-wide objects that live
// for the whole run, closed at start. The core cannot create them (the real ports are Qt
// objects), so the program installs them at start-up; tests install fakes or real ports on
// pseudo-terminals. Until something is installed both are ports that never open.

namespace orv {

class SerialPort;

// Both references must outlive every user of the ports (normally: the whole run).
void InstallProgramPorts(SerialPort& instrument, SerialPort& gps);
SerialPort& InstrumentPort();
SerialPort& GpsPort();

}  // namespace orv
