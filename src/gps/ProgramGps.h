#pragma once
// The program's one NMEA parser and one GPS matcher, created on first use on the steady tick
// clock and kept for the whole run. The reader thread feeds them; the GPS page, the track page
// and the track survey read them; GPS-track set-up and opening a track session reset both.
// Tests build their own objects instead.

namespace orv {

class GpsMatcher;
class NmeaParser;

NmeaParser& ProgramNmeaParser();
GpsMatcher& ProgramGpsMatcher();

}  // namespace orv
