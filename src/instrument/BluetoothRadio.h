#pragma once
// The Bluetooth radio of the machine, switched on while the program runs when it was off, and put
// back to its earlier state at exit. platform/ implements it with QtBluetooth (StackRadio holds
// the decision logic); a machine without an adapter answers "cannot tell" and nothing is
// switched. A radio that stays off only shows as a port that cannot be opened: no operation
// here shows a message.

namespace orv {

class BluetoothRadio
{
public:
    virtual ~BluetoothRadio() = default;
    // 1 on, 0 off, -1 cannot tell (no adapter known).
    [[nodiscard]] virtual int IsOn() = 0;
    // 0 when the radio was asked to switch and reports the requested state, -1 otherwise.
    virtual int TurnOn() = 0;
    virtual int TurnOff() = 0;
};

}  // namespace orv
