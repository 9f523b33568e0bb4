#pragma once
// The logic of the "Other settings" page: the Bluetooth port numbers of the instrument and of
// the GPS receiver, and the GPS receiver's speed, chosen from the string-table entries 73..87
// ("110" .. "256000"), each list item carrying its string id.

#include "ui/pages/DataExchange.h"

#include <optional>
#include <string>
#include <vector>

namespace orv {

class Configuration;

class OtherSettingsLogic
{
public:
    unsigned instrumentPortNumber = 5;
    unsigned gpsPortNumber = 8;

    // The drop-down's items (string ids) and its selection (-1: none).
    std::vector<int> baudItems;
    int baudIndex = -1;

    // Unless the list holds the 15 speeds already, refills it; then selects the first item.
    void FillBaudList();
    // Ports from the configuration; the item whose id is GpsBaudRateId is selected (the
    // selection stays as it was when none is).
    void LoadFromConfiguration(const Configuration& config);
    // GpsBaudRateId is the selected item's id, or 79 (9600) without a selection.
    void StoreToConfiguration(Configuration& config) const;
    // Both numbers must lie in 0..65535. On failure nothing changes. The speed is not part of
    // the exchange: the list's selection is `baudIndex` itself.
    std::optional<ExchangeFailure> ReadControls(const std::string& instrumentPort,
                                                const std::string& gpsPort);
    int SelectedBaudId() const;
};

}  // namespace orv
