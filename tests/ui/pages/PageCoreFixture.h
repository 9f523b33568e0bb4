#pragma once
// The program's core as the Main page tests run it: its ports found as port<N> in a temporary
// folder (where the simulators put them), fakes for the settings, the prompts and the wall
// clock, and a sheet that records what a page tells it.

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "FakeSystemClock.h"
#include "PageTestApp.h"
#include "TempDir.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "instrument/InstrumentDevice.h"
#include "platform/QtSerialPort.h"
#include "session/ProgramCore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace orv::page_test {

class CoreFixture : public ::testing::Test
{
protected:
    // The core, waiting `replyTimeoutMs` for the instrument's replies.
    void MakeCore(uint32_t replyTimeoutMs)
    {
        App();
        setenv("ORVCONTROL_PORT_PATTERN", (m_dir.Path() / "port%u").c_str(), 1);
        m_core = std::make_unique<ProgramCore>(PlatformParts{
            m_store, m_dir.File("OrvCalibration.ini"), m_prompt, m_instrument, m_gps,
            SteadyTickClock(), m_systemClock, nullptr, LinkTimings{replyTimeoutMs, 10}});
    }
    Configuration& Config() { return m_core->Config(); }
    InstrumentDevice& Device() { return m_core->Device(); }
    GpsMatcher& Matcher() { return m_core->Matcher(); }
    NmeaParser& Parser() { return m_core->Parser(); }

    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    RecordingSheet m_sheet;
    QtSerialPort m_instrument;
    QtSerialPort m_gps;
    FakeSystemClock m_systemClock;
    std::unique_ptr<ProgramCore> m_core;
};

}  // namespace orv::page_test
