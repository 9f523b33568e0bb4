// The GPS page on the offscreen platform, reading its own parser: the reset values before any
// sentence, a receiver's capture, the texts built from hand-made sentences, and the refresh
// that runs only while the page is active.

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "FakeTickClock.h"
#include "PageTestApp.h"
#include "TempDir.h"
#include "config/Configuration.h"
#include "gps/NmeaParser.h"
#include "ui/CPropertyPageBase.h"
#include "ui/pages/CPropertyPageGPSView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace orv {
namespace {

using page_test::App;

class NullSheet final : public SheetLink
{
public:
    void SendToSheet(uint32_t, uint64_t, int64_t) override {}
    void SendCommandToSheet(int) override {}
};

// A sentence with its checksum (the XOR of the bytes between '$' and '*') and CR LF.
std::string Sentence(const std::string& body)
{
    uint8_t sum = 0;
    for (const char c : body) {
        sum ^= static_cast<uint8_t>(c);
    }
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// The capture of an MT3339 receiver up to and including the RMC of 20:26:43, the first epoch
// with its satellites in view: 18 sentences.
std::string CaptureToFirstSatellites()
{
    std::ifstream in(std::string(ORV_SOURCE_DIR) + "/tests/data/nmea/mtk3339-adafruit-hat.nmea",
                     std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t rmc = all.find("$GPRMC,202643.000");
    if (rmc == std::string::npos) {
        return {};
    }
    return all.substr(0, all.find('\n', rmc) + 1);
}

class GpsPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        m_page = std::make_unique<CPropertyPageGPSView>(m_sheet, m_config, m_prompt);
        m_page->SetParser(&m_parser);
        m_page->resize(480, 360);
        m_page->show();
    }
    void Feed(const std::string& bytes)
    {
        m_parser.Feed(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }
    std::string Text(int id) const
    {
        const auto* label = m_page->findChild<QLabel*>(QStringLiteral("control%1").arg(id));
        return label != nullptr ? label->text().toStdString() : "<no control>";
    }

    NullSheet m_sheet;
    FakePrompt m_prompt;
    FakeTickClock m_clock;
    NmeaParser m_parser{m_clock};
    TempDir m_dir;
    FakeSettingsStore m_store;
    Configuration m_config{m_store, m_dir.File("OrvCalibration.ini"), m_prompt};
    std::unique_ptr<CPropertyPageGPSView> m_page;
};

TEST_F(GpsPage, ShowsTheResetValuesThenTheReceiversState)
{
    ASSERT_TRUE(m_page->OnSetActive());
    EXPECT_TRUE(m_page->IsRefreshing());
    EXPECT_EQ(Text(1064), "0.000000");
    EXPECT_EQ(Text(1065), "0.000000");
    EXPECT_EQ(Text(1066), "0.00 Km/hr");
    EXPECT_EQ(Text(1067), "Fix not available");
    EXPECT_EQ(Text(1068), "Fix not available");
    EXPECT_EQ(Text(1069), "0.00");
    EXPECT_EQ(Text(1070), "0.00");
    EXPECT_EQ(Text(1071), "0.00");
    EXPECT_EQ(Text(1072), "0");
    EXPECT_EQ(Text(1073), "");
    EXPECT_EQ(Text(1074), "00:00:00");
    EXPECT_EQ(Text(1075), "01/01/2000");
    EXPECT_EQ(Text(1076), "0");

    const std::string capture = CaptureToFirstSatellites();
    ASSERT_FALSE(capture.empty());
    Feed(capture);
    m_page->Refresh();
    // $GPRMC,202643.000,A,4404.1305,N,12118.8515,W,0.02,171.47,130415,,,D
    EXPECT_EQ(Text(1064), "44.068842");    // 44 + 4.1305 / 60
    EXPECT_EQ(Text(1065), "-121.314192");  // west is negative
    EXPECT_EQ(Text(1066), "0.04 Km/hr");   // 0.02 knots x 1.87
    EXPECT_EQ(Text(1067), "Data valid");
    // $GPGSA,A,3,20,16,09,03,07,10,23,19,27,30,05,,1.33,0.84,1.03
    EXPECT_EQ(Text(1068), "3D Fix");
    EXPECT_EQ(Text(1069), "1.03");
    EXPECT_EQ(Text(1070), "0.84");
    EXPECT_EQ(Text(1071), "1.33");
    // Three GSV messages, 12 satellites in view.
    EXPECT_EQ(Text(1072), "12");
    EXPECT_EQ(Text(1073), "09 07 23 10 16 30 20 27 19 03 05 47 ");
    EXPECT_EQ(Text(1074), "20:26:43");
    EXPECT_EQ(Text(1075), "13/04/2015");
    // GGA, GSA, RMC and ZDA of three epochs, then GGA, GSA, three GSV and RMC.
    EXPECT_EQ(Text(1076), "18");

    EXPECT_TRUE(m_page->OnKillActive());
    EXPECT_FALSE(m_page->IsRefreshing());
}

TEST_F(GpsPage, BuildsItsTextsFromTheLatestSentences)
{
    struct Case
    {
        const char* legend;
        std::string sentence;
        int control;
        const char* expected;
    };
    const Case cases[] = {
        {"10 knots", Sentence("GPRMC,101530.00,A,5130.1234,N,00012.3456,W,10.0,0.0,010106,,"), 1066,
         "18.70 Km/hr"},
        {"a void RMC", Sentence("GPRMC,101531.00,V,5130.1234,N,00012.3456,W,0.0,0.0,010106,,"),
         1067, "Fix not available"},
        {"three satellites, the last PRN with its blank too",
         Sentence("GPGSV,1,1,03,05,40,083,46,12,17,308,41,30,07,344,39"), 1073, "05 12 30 "},
        {"fix type 0", Sentence("GPGSA,A,0,,,,,,,,,,,,,0.0,0.0,0.0"), 1068, "Unknown"},
        {"fix type 2", Sentence("GPGSA,A,2,05,12,30,,,,,,,,,,2.5,1.3,2.1"), 1068, "2D Fix"},
        // A receiver claiming more satellites than the table holds: the 36 slots, no more (the
        // message's three absent groups clear slots 1..3).
        {"40 satellites in view", Sentence("GPGSV,1,1,40,07,40,083,46"), 1073,
         "07 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
         "00 00 00 00 00 00 00 "},
        {"date and time of the RMC",
         Sentence("GPRMC,235959.50,A,5130.1234,N,00012.3456,W,0.0,0.0,311299,,"), 1075,
         "31/12/1999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        Feed(c.sentence);
        m_page->Refresh();
        EXPECT_EQ(Text(c.control), c.expected);
    }
    EXPECT_EQ(Text(1074), "23:59:59");
    EXPECT_EQ(Text(1072), "40");
    EXPECT_EQ(Text(1076), "7");
}

// The page refreshes itself while active: a sentence fed after activation shows up without a
// Refresh call, and nothing changes any more once the page has lost activation.
TEST_F(GpsPage, RefreshesWhileActive)
{
    ASSERT_TRUE(m_page->OnSetActive());
    Feed(Sentence("GPRMC,101530.00,A,5130.1234,N,00012.3456,W,10.0,0.0,010106,,"));
    QElapsedTimer waited;
    waited.start();
    while (Text(1076) != "1" && waited.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(Text(1076), "1");
    EXPECT_EQ(Text(1064), "51.502057");

    ASSERT_TRUE(m_page->OnKillActive());
    Feed(Sentence("GPRMC,101531.00,A,5130.1234,N,00012.3456,W,10.0,0.0,010106,,"));
    // Two periods of the refresh, had it been left running.
    waited.restart();
    while (waited.elapsed() < 2 * CPropertyPageGPSView::kRefreshPeriod + 200) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(Text(1076), "1");
}

// A picture of the page with a fix. With ORV_SCREENSHOT_DIR set it is written there
// (docs/screenshots/ holds the one the README shows), otherwise into the test's temporary
// folder. A picture of one colour would mean the page drew nothing.
TEST_F(GpsPage, Renders)
{
    const char* wanted = std::getenv("ORV_SCREENSHOT_DIR");
    const std::string folder = wanted != nullptr ? std::string(wanted) : m_dir.File("shots");
    std::filesystem::create_directories(folder);
    Feed(CaptureToFirstSatellites());
    ASSERT_TRUE(m_page->OnSetActive());
    QApplication::processEvents();
    const QImage image = m_page->grab().toImage();
    ASSERT_FALSE(image.isNull());
    int differing = 0;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            differing += image.pixel(x, y) != first ? 1 : 0;
        }
    }
    EXPECT_GT(differing, 100);
    EXPECT_TRUE(image.save(QString::fromStdString(folder + "/gps-status.png"), "PNG"));
}

}  // namespace
}  // namespace orv
