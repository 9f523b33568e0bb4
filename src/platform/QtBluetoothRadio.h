#pragma once
// The machine's Bluetooth adapter through QBluetoothLocalDevice. Without an adapter (or without a
// running Bluetooth service) the device is invalid: the radio then reads as "cannot tell" and
// nothing is switched. Switching is asynchronous on this platform, so a TurnOn may report -1 and
// still take effect a moment later.

#include "instrument/StackRadio.h"

#include <memory>

class QBluetoothLocalDevice;

namespace orv {

class QtBluetoothRadio final : public StackRadio
{
public:
    QtBluetoothRadio();
    ~QtBluetoothRadio() override;
    QtBluetoothRadio(const QtBluetoothRadio&) = delete;
    QtBluetoothRadio& operator=(const QtBluetoothRadio&) = delete;

protected:
    RadioMode ReadMode() override;
    void WriteMode(bool on) override;

private:
    std::unique_ptr<QBluetoothLocalDevice> m_device;
};

}  // namespace orv
