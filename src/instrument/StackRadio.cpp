#include "instrument/StackRadio.h"

namespace orv {

int StackRadio::IsOn()
{
    switch (ReadMode()) {
        case RadioMode::On:
            return 1;
        case RadioMode::Off:
            return 0;
        case RadioMode::Unknown:
            break;
    }
    return -1;
}

int StackRadio::TurnOn()
{
    if (ReadMode() == RadioMode::Unknown) {
        return -1;
    }
    WriteMode(true);
    const int state = IsOn();
    if (state == -1) {
        return -1;
    }
    // There is no second stack to fall back on when the radio still reads as off.
    return state != 0 ? 0 : -1;
}

int StackRadio::TurnOff()
{
    if (ReadMode() == RadioMode::Unknown) {
        return -1;
    }
    WriteMode(false);
    const int state = IsOn();
    if (state == -1) {
        return -1;
    }
    return state != 1 ? 0 : -1;
}

}  // namespace orv
