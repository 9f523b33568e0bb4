#include "gps/ProgramGps.h"

#include "base/TickClock.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"

namespace orv {

NmeaParser& ProgramNmeaParser()
{
    static NmeaParser parser(SteadyTickClock());
    return parser;
}

GpsMatcher& ProgramGpsMatcher()
{
    static GpsMatcher matcher(SteadyTickClock());
    return matcher;
}

}  // namespace orv
