#include "ui/pages/OtherSettingsLogic.h"

#include "config/Configuration.h"
#include "resources/ResourceIds.h"

namespace orv {

namespace {

constexpr unsigned kMaxPort = 65535;
constexpr int kBaudCount = string_id::kBaudLast - string_id::kBaudFirst + 1;

}  // namespace

void OtherSettingsLogic::FillBaudList()
{
    if (static_cast<int>(baudItems.size()) != kBaudCount) {
        baudItems.clear();
        for (int id = string_id::kBaudFirst; id <= string_id::kBaudLast; ++id) {
            baudItems.push_back(id);
        }
    }
    baudIndex = 0;
}

void OtherSettingsLogic::LoadFromConfiguration(const Configuration& config)
{
    instrumentPortNumber = static_cast<unsigned>(config.BluetoothInboundPort);
    gpsPortNumber = static_cast<unsigned>(config.BluetoothOutboundPort);
    for (size_t i = 0; i < baudItems.size(); ++i) {
        if (baudItems[i] == config.GpsBaudRateId) {
            baudIndex = static_cast<int>(i);
            break;
        }
    }
}

void OtherSettingsLogic::StoreToConfiguration(Configuration& config) const
{
    config.BluetoothInboundPort = static_cast<int>(instrumentPortNumber);
    config.BluetoothOutboundPort = static_cast<int>(gpsPortNumber);
    const int id = SelectedBaudId();
    config.GpsBaudRateId = id != 0 ? id : string_id::kBaud9600;
}

std::optional<ExchangeFailure> OtherSettingsLogic::ReadControls(const std::string& instrumentPort,
                                                                const std::string& gpsPort)
{
    unsigned instrument = instrumentPortNumber, gps = gpsPortNumber;
    std::string message;
    if (!ReadUnsignedText(instrumentPort, 0, kMaxPort, instrument, message)) {
        return ExchangeFailure{control_id::kInstrumentPort, message};
    }
    if (!ReadUnsignedText(gpsPort, 0, kMaxPort, gps, message)) {
        return ExchangeFailure{control_id::kGpsPort, message};
    }
    instrumentPortNumber = instrument;
    gpsPortNumber = gps;
    return std::nullopt;
}

int OtherSettingsLogic::SelectedBaudId() const
{
    if (baudIndex < 0 || baudIndex >= static_cast<int>(baudItems.size())) {
        return 0;
    }
    return baudItems[static_cast<size_t>(baudIndex)];
}

}  // namespace orv
