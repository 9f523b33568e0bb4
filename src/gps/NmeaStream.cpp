#include "gps/NmeaStream.h"

#include "gps/NmeaParser.h"

namespace orv {

NmeaStream::Step NmeaStream::Process(NmeaParser& parser, std::span<const uint8_t> bytes,
                                     uint32_t now)
{
    Step step;
    parser.Feed(bytes, &m_status);
    const GpsStatus& s = m_status;

    if (!m_clockSet && s.rmcCount != 0 && s.year >= 2006) {
        const UtcTime received{s.year,      s.month,     s.day,      s.rmcHour,
                               s.rmcMinute, s.rmcSecond, s.rmcMillis};
        // A receiver still searching may send a date that does not exist; that one sets
        // nothing, and the next good one gets its turn.
        if (IsValid(received)) {
            const uint32_t delay = now - s.rmcTick;
            step.clockTime = FromUnixMilliseconds(ToUnixMilliseconds(received) + delay);
            m_clockSet = true;
        }
    }

    if (s.rmcCount != m_lastRmc) {
        m_lastRmc = s.rmcCount;
        if (s.rmcStatus == 'A') {
            step.fix = GpsFix{s.rmcLatitude, s.rmcLongitude, s.rmcTick};
        }
    }
    return step;
}

}  // namespace orv
