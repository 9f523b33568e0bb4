#pragma once
// A BluetoothRadio reached through one stack's radio-mode functions: read the mode, set it. The
// platform class supplies the two calls; this class decides what to report. A stack that cannot
// say its mode (no adapter) makes every operation answer -1 without switching anything.

#include "instrument/BluetoothRadio.h"

namespace orv {

enum class RadioMode { Unknown, Off, On };

class StackRadio : public BluetoothRadio
{
public:
    int IsOn() override;
    // Sets the mode to connectable, then reads it back: 0 when it reads as on. A switch that has
    // not taken effect yet reads as off, which gives -1; the caller only needs the later state.
    int TurnOn() override;
    // Sets the mode to off, then reads it back: 0 unless it still reads as on.
    int TurnOff() override;

protected:
    [[nodiscard]] virtual RadioMode ReadMode() = 0;
    // Asks the stack for connectable (true) or off (false).
    virtual void WriteMode(bool on) = 0;
};

}  // namespace orv
