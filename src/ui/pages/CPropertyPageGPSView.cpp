#include "ui/pages/CPropertyPageGPSView.h"

#include "gps/GpsStatus.h"
#include "gps/NmeaParser.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "ui/ResourceText.h"

#include <QGridLayout>
#include <QLabel>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <string>

namespace orv {

namespace {

namespace cid = control_id;

// The handheld's factor from knots to km/h (1.852 would be exact); the speeds shown in the
// field have always been these.
constexpr double kKnotsToKmh = 1.87;

template <typename... Args>
QString Printf(const char* format, Args... args)
{
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    if (n < 0) {
        return {};
    }
    return QString::fromLatin1(buffer, std::min(n, static_cast<int>(sizeof buffer) - 1));
}

QString FixModeText(uint8_t fixType)
{
    switch (fixType) {
        case 1:
            return ResourceText(string_id::kFixNotAvailable);
        case 2:
            return ResourceText(string_id::kFix2D);
        case 3:
            return ResourceText(string_id::kFix3D);
        default:
            return ResourceText(string_id::kFixUnknown);
    }
}

QString PrnText(const GpsStatus& status)
{
    const int count = std::min<int>(status.satellitesInView, kSatelliteSlots);
    std::string text;
    for (int i = 0; i < count; ++i) {
        char buffer[16];
        const int n = std::snprintf(buffer, sizeof buffer, "%02hu ",
                                    static_cast<unsigned short>(status.satellites[size_t(i)].prn));
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
        }
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CPropertyPageGPSView::CPropertyPageGPSView(SheetLink& sheet, Configuration& config, Prompt& prompt,
                                           QWidget* parent)
    : CPropertyPageBase(PageId::Gps, sheet, config, prompt, parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout();
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);
    layout->addStretch(1);

    int row = 0;
    const auto text = [this](int id, const QString& initial) {
        auto* label = new QLabel(initial, this);
        label->setObjectName(QStringLiteral("control%1").arg(id));
        m_texts[id] = label;
        return label;
    };
    const auto line = [&](int labelId, int id, const QString& initial) {
        grid->addWidget(new QLabel(ResourceText(labelId), this), row, 0);
        grid->addWidget(text(id, initial), row, 1, 1, 2);
        ++row;
    };
    const QString zeroDop = QStringLiteral("0.00");
    line(string_id::kLatitudeLabel, cid::kGpsLatitude, QStringLiteral("0.000000"));
    line(string_id::kLongitudeLabel, cid::kGpsLongitude, QStringLiteral("0.000000"));
    line(string_id::kSpeedLabel, cid::kGpsSpeed, ResourceText(string_id::kInitialSpeed));
    line(string_id::kQualityLabel, cid::kGpsQuality, ResourceText(string_id::kNotAvailable));
    line(string_id::kFixModeLabel, cid::kGpsFixMode, ResourceText(string_id::kNotAvailable));
    line(string_id::kVdopLabel, cid::kGpsVdop, zeroDop);
    line(string_id::kHdopLabel, cid::kGpsHdop, zeroDop);
    line(string_id::kPdopLabel, cid::kGpsPdop, zeroDop);
    line(string_id::kSatellitesInViewLabel, cid::kGpsSatellitesInView, QStringLiteral("0"));
    line(string_id::kPrnsLabel, cid::kGpsPrns, QStringLiteral("0 0 0 0 0 0 0 0"));
    // Up to 36 PRNs: the text wraps rather than widening the page.
    m_texts[cid::kGpsPrns]->setWordWrap(true);
    // Time and date share a row.
    grid->addWidget(new QLabel(ResourceText(string_id::kDateTimeLabel), this), row, 0);
    grid->addWidget(text(cid::kGpsTime, QStringLiteral("12:54:00")), row, 1);
    grid->addWidget(text(cid::kGpsDate, QStringLiteral("17/04/2006")), row, 2);
    ++row;
    line(string_id::kReceivedLabel, cid::kGpsReceived, QStringLiteral("0"));
    grid->addWidget(new QLabel(ResourceText(string_id::kFixAgeLabel), this), row, 0);
    m_fixAgeText = new QLabel(ResourceText(string_id::kNotAvailable), this);
    m_fixAgeText->setObjectName(QStringLiteral("fixAge"));
    grid->addWidget(m_fixAgeText, row, 1, 1, 2);
    ++row;
}

QString CPropertyPageGPSView::FixAgeText() const { return m_fixAgeText->text(); }

void CPropertyPageGPSView::LoadFromConfiguration() { m_timer.start(kRefreshPeriod, this); }

void CPropertyPageGPSView::StoreToConfiguration() { m_timer.stop(); }

void CPropertyPageGPSView::RefreshControls() { Refresh(); }

void CPropertyPageGPSView::SetParser(NmeaParser* parser) { m_parser = parser; }

void CPropertyPageGPSView::Refresh()
{
    Show(m_parser != nullptr ? m_parser->Snapshot() : GpsStatus{});
}

void CPropertyPageGPSView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timer.timerId()) {
        Refresh();
        return;
    }
    CPropertyPageBase::timerEvent(event);
}

void CPropertyPageGPSView::Show(const GpsStatus& s)
{
    SetText(cid::kGpsReceived, Printf("%d", static_cast<int>(s.sentenceCount)));
    SetText(cid::kGpsLatitude, Printf("%.6lf", s.rmcLatitude));
    SetText(cid::kGpsLongitude, Printf("%.6lf", s.rmcLongitude));
    SetText(cid::kGpsSpeed, Printf("%.2lf Km/hr", s.speedKnots * kKnotsToKmh));
    SetText(cid::kGpsQuality,
            ResourceText(s.rmcStatus == 'A' ? string_id::kDataValid : string_id::kFixNotAvailable));
    SetText(cid::kGpsFixMode, FixModeText(s.fixType));
    SetText(cid::kGpsVdop, Printf("%.2lf", s.vdop));
    SetText(cid::kGpsHdop, Printf("%.2lf", s.hdop));
    SetText(cid::kGpsPdop, Printf("%.2lf", s.pdop));
    SetText(cid::kGpsSatellitesInView, Printf("%d", static_cast<int>(s.satellitesInView)));
    SetText(cid::kGpsPrns, PrnText(s));
    SetText(cid::kGpsTime, Printf("%02d:%02d:%02d", static_cast<int>(s.rmcHour),
                                  static_cast<int>(s.rmcMinute), static_cast<int>(s.rmcSecond)));
    SetText(cid::kGpsDate, Printf("%02d/%02d/%04d", static_cast<int>(s.day),
                                  static_cast<int>(s.month), static_cast<int>(s.year)));
    const std::optional<double> age = m_fixAge ? m_fixAge() : std::nullopt;
    m_fixAgeText->setText(
        age ? QString::fromStdString(FormatResource(string_id::kFixAgeSeconds,
                                                    {std::to_string(static_cast<long>(*age))}))
            : ResourceText(string_id::kNotAvailable));
}

void CPropertyPageGPSView::SetText(int id, const QString& text)
{
    QLabel* label = m_texts.at(id);
    if (label->text() != text) {
        label->setText(text);
    }
}

}  // namespace orv
