#pragma once
// A main sheet on the offscreen platform with a real configuration over an in-memory settings
// store, a calibration file and a data folder in a temporary directory, scripted message boxes
// and file dialogs, and fake serial ports.

#include "FakeFileChooser.h"
#include "FakePrompt.h"
#include "FakeSerialPort.h"
#include "FakeSettingsStore.h"
#include "FakeSystemClock.h"
#include "TempDir.h"
#include "app/COrvControlSheet.h"
#include "base/MeasurementSlot.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "instrument/InstrumentDevice.h"
#include "resources/ResourceIds.h"
#include "session/ProgramCore.h"
#include "survey/Survey.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace orv {

// The QApplication of the test program (QtTestApplication.cpp): made before the first test
// and destroyed after the last, inside main, while Qt's own globals still exist.
QApplication& TestApplication();

class SheetFixture : public ::testing::Test
{
protected:
    void SetUp() override { TestApplication(); }
    void TearDown() override
    {
        m_sheet.reset();
        m_core.reset();
    }

    std::string CalibrationPath() const { return m_dir.File("OrvCalibration.ini"); }
    std::string DataDirectory() const { return m_dir.File("data"); }

    // The program's objects, as a start of the program makes them: after a sheet was destroyed
    // (the program ended) the next one starts afresh from the stored settings.
    ProgramCore& Core()
    {
        if (!m_core || (m_coreUsed && !m_sheet)) {
            m_core.reset();
            m_core = std::make_unique<ProgramCore>(PlatformParts{*m_settings,
                                                                 CalibrationPath(),
                                                                 m_prompt,
                                                                 m_instrumentPort,
                                                                 m_gpsPort,
                                                                 SteadyTickClock(),
                                                                 m_systemClock,
                                                                 nullptr,
                                                                 {}});
            m_coreUsed = false;
        }
        return *m_core;
    }
    Configuration& Config() { return Core().Config(); }
    InstrumentDevice& Device() { return Core().Device(); }

    COrvControlSheet& MakeSheet()
    {
        SheetEnvironment environment;
        environment.core = &Core();
        environment.files = &m_files;
        environment.dataDirectory = DataDirectory();
        m_coreUsed = true;
        m_sheet = std::make_unique<COrvControlSheet>(environment);
        m_sheet->show();
        return *m_sheet;
    }

    template <typename W>
    W* Control(PageId page, int id) const
    {
        W* w = m_sheet->Page(page)->findChild<W*>(QStringLiteral("control%1").arg(id));
        EXPECT_NE(w, nullptr) << "control " << id;
        return w;
    }
    void ClickNext(PageId page) { Control<QPushButton>(page, 1010)->click(); }
    // Picks a list entry as the operator does, raising the list's "activated".
    void Choose(QComboBox* list, int index)
    {
        list->setCurrentIndex(index);
        Q_EMIT list->activated(index);
    }
    void SetText(PageId page, int id, const QString& text)
    {
        Control<QLineEdit>(page, id)->setText(text);
    }
    // From the setup pages with the mode entry `modeIndex` (Map, Profile, Line, GPS track).
    void BeginWithMode(int modeIndex)
    {
        ASSERT_EQ(m_sheet->Pages(),
                  (std::vector<PageId>{PageId::StaticSettings, PageId::OtherSettings}));
        Choose(Control<QComboBox>(PageId::StaticSettings, control_id::kMode), modeIndex);
        ClickNext(PageId::StaticSettings);
    }
    // Stores `count` measurements as the Main page would after an exchange.
    void Measure(int count = 1)
    {
        ASSERT_NE(m_sheet->CurrentSurvey(), nullptr);
        MeasurementSlot slot;
        for (size_t i = 0; i < kMaskOffset; ++i) {
            slot.bytes[i] = static_cast<uint8_t>(i * 7);
        }
        slot.bytes[kMaskOffset] = 0xFF;
        slot.bytes[kMaskOffset + 1] = 0x3F;
        slot.bytes[kSerialOffset] = 9;
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(m_sheet->CurrentSurvey()->StoreMeasurement(slot));
        }
    }
    std::vector<std::string> ToldTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& t : m_prompt.told) {
            texts.push_back(t.text);
        }
        return texts;
    }

    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    FakeFileChooser m_files;
    FakeSerialPort m_instrumentPort;
    FakeSerialPort m_gpsPort;
    FakeSystemClock m_systemClock;
    SettingsStore* m_settings = &m_store;
    std::unique_ptr<ProgramCore> m_core;
    bool m_coreUsed = false;
    std::unique_ptr<COrvControlSheet> m_sheet;
};

}  // namespace orv
