#include "platform/QtBluetoothRadio.h"

#include <QBluetoothLocalDevice>

namespace orv {

QtBluetoothRadio::QtBluetoothRadio() : m_device(std::make_unique<QBluetoothLocalDevice>()) {}

QtBluetoothRadio::~QtBluetoothRadio() = default;

RadioMode QtBluetoothRadio::ReadMode()
{
    if (!m_device->isValid()) {
        return RadioMode::Unknown;
    }
    return m_device->hostMode() == QBluetoothLocalDevice::HostPoweredOff ? RadioMode::Off
                                                                         : RadioMode::On;
}

void QtBluetoothRadio::WriteMode(bool on)
{
    if (!m_device->isValid()) {
        return;
    }
    m_device->setHostMode(on ? QBluetoothLocalDevice::HostConnectable
                             : QBluetoothLocalDevice::HostPoweredOff);
}

}  // namespace orv
