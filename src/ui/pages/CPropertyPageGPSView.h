#pragma once
// "GPS" (dialog 154): the GPS receiver's state as text, refreshed once a second from the NMEA
// parser while the page is active. It has no inputs.
//
// Every refresh takes one snapshot of the parser and writes all the texts from that copy, so
// the page never mixes two states even while the reader thread goes on feeding the parser. The
// position, time and date shown are the RMC's; the DOPs and the fix mode the GSA's.

#include "ui/CPropertyPageBase.h"

#include <QBasicTimer>

#include <functional>
#include <map>
#include <optional>

class QLabel;

namespace orv {

class NmeaParser;
struct GpsStatus;

class CPropertyPageGPSView final : public CPropertyPageBase
{
    Q_OBJECT

public:
    // Shows the reset values until SetParser gives it the program's parser.
    CPropertyPageGPSView(SheetLink& sheet, Configuration& config, Prompt& prompt,
                         QWidget* parent = nullptr);

    // Activation starts the once-a-second refresh, deactivation stops it.
    void LoadFromConfiguration() override;
    void StoreToConfiguration() override;
    void RefreshControls() override;

    // Reads `parser` (borrowed) from now on; nullptr: nothing, the reset values.
    void SetParser(NmeaParser* parser);
    // The age in seconds of the last valid fix, or nothing before the first; shown beside the
    // receiver's own values (a deliberate extension of the page).
    void SetFixAge(std::function<std::optional<double>()> age) { m_fixAge = std::move(age); }
    // The fix age as shown.
    QString FixAgeText() const;
    // Takes a snapshot of the parser and shows it.
    void Refresh();
    [[nodiscard]] bool IsRefreshing() const { return m_timer.isActive(); }

    // The period of the refresh, in milliseconds.
    static constexpr int kRefreshPeriod = 1000;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Show(const GpsStatus& status);
    void SetText(int id, const QString& text);

    NmeaParser* m_parser = nullptr;
    std::function<std::optional<double>()> m_fixAge;
    QLabel* m_fixAgeText = nullptr;
    QBasicTimer m_timer;
    std::map<int, QLabel*> m_texts;
};

}  // namespace orv
