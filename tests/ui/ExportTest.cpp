// Session > Export... on the offscreen platform: the dialog offers what the build and the survey
// allow and gives back what was chosen, and the writing on the worker ends in a whole file or,
// on failure, in nothing at the target.

#include "SurveyFixture.h"
#include "exchange/ExportSource.h"
#include "survey/GridSurvey.h"
#include "ui/CExportDialog.h"

#include <QApplication>
#include <QComboBox>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace orv {

QApplication& TestApplication();

namespace {

class ExportTest : public test::SurveyFixture
{
protected:
    void SetUp() override { TestApplication(); }
};

QStringList Items(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

TEST_F(ExportTest, TheDialogOffersWhatTheSurveyAllowsAndGivesBackTheChoice)
{
    m_config.UsedFrequencies.fill(0);
    m_config.UsedFrequencies[2] = 1;
    m_config.UsedFrequencies[7] = 1;
    CExportDialog grid(m_config, false, nullptr);
    const auto* formats = grid.findChild<QComboBox*>(QStringLiteral("exportFormat"));
    const auto* frequencies = grid.findChild<QComboBox*>(QStringLiteral("exportFrequency"));
    ASSERT_NE(formats, nullptr);
    ASSERT_NE(frequencies, nullptr);
    // A grid has no positions of its own for the GPS formats; CSV is there in every build.
    EXPECT_FALSE(Items(formats).join('|').contains(QStringLiteral("GPX")));
    EXPECT_TRUE(Items(formats).join('|').contains(QStringLiteral("CSV")));
    // "All active", then the two active frequencies by number.
    ASSERT_EQ(frequencies->count(), 3);
    EXPECT_TRUE(frequencies->itemText(1).startsWith(QStringLiteral("3")));
    EXPECT_TRUE(frequencies->itemText(2).startsWith(QStringLiteral("8")));

    ExportChoice wanted;
    wanted.format = ExportFormat::Csv;
    wanted.frequency = 8;
    wanted.unit = ExportUnit::MilliSiemensPerMetre;
    grid.Select(wanted);
    const ExportChoice got = grid.Choice();
    EXPECT_EQ(got.format, ExportFormat::Csv);
    EXPECT_EQ(got.frequency, 8);
    EXPECT_EQ(got.unit, ExportUnit::MilliSiemensPerMetre);
    EXPECT_EQ(got.crs, "");

    // A frequency no longer active falls back to all of them; a track offers GPX where the
    // build writes it, and a typed CRS is taken as typed.
    wanted.frequency = 5;
    CExportDialog track(m_config, true, nullptr);
    track.Select(wanted);
    EXPECT_FALSE(track.Choice().frequency.has_value());
    if (HaveGdal()) {
        EXPECT_TRUE(Items(track.findChild<QComboBox*>(QStringLiteral("exportFormat")))
                        .join('|')
                        .contains(QStringLiteral("GPX")));
        wanted.crs = "EPSG:32633";
        track.Select(wanted);
        EXPECT_EQ(track.Choice().crs, "EPSG:32633");
        wanted.crs = "utm";
        track.Select(wanted);
        EXPECT_EQ(track.Choice().crs, "utm");
    }
}

TEST_F(ExportTest, TheWorkerWritesTheWholeFileOrNothing)
{
    Grid(work_type::kMap, 4, 3);
    GridSurvey survey(m_config);
    for (uint32_t n = 1; n <= 6; ++n) {
        ASSERT_TRUE(survey.StoreMeasurement(test::Measurement(n)));
    }
    StationTable table;
    std::string error;
    ASSERT_TRUE(
        CollectStations(m_config, SourceOf(survey), {ExportUnit::Adc, std::nullopt}, table, error))
        << error;
    ExportOptions options;
    options.format = ExportFormat::Csv;

    const std::string path = m_dir.File("map.csv");
    ExportResult result;
    ASSERT_TRUE(RunExport(nullptr, table, options, path, result, error)) << error;
    EXPECT_EQ(result.features, 6);
    std::ifstream in(path);
    int lines = 0;
    for (std::string line; std::getline(in, line);) {
        ++lines;
    }
    EXPECT_EQ(lines, 7);  // the header and a row per measured station

    // A folder that does not exist: refused with the reason, nothing left behind.
    const std::string nowhere = m_dir.File("gone/map.csv");
    EXPECT_FALSE(RunExport(nullptr, table, options, nowhere, result, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(nowhere));
}

}  // namespace
}  // namespace orv
