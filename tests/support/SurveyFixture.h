#pragma once
// A configuration of its own for each test (in-memory settings, a calibration file in a fresh
// folder) and measurements made to order.

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "TempDir.h"
#include "base/ByteOrder.h"
#include "base/MeasurementSlot.h"
#include "config/Configuration.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orv::test {

// A measurement of frequencies `mask` whose reserved bytes 170..173 carry `number`, so that a
// test can tell which measurement landed where.
inline MeasurementSlot Measurement(uint32_t number, uint16_t mask = 0x3FFF, uint8_t serial = 9,
                                   uint32_t tick = 0)
{
    MeasurementSlot slot;
    for (size_t i = 0; i < kMaskOffset; ++i) {
        slot.bytes[i] = uint8_t(number * 7 + i);
    }
    little_endian::Store16(&slot.bytes[kMaskOffset], mask);
    little_endian::Store32(&slot.bytes[170], number);
    slot.bytes[kSerialOffset] = serial;
    slot.SetTickStamp(tick == 0 ? 1000 + number * 100 : tick);
    return slot;
}

inline uint32_t NumberOf(const MeasurementSlot& slot)
{
    return little_endian::Load32(&slot.bytes[170]);
}

class SurveyFixture : public ::testing::Test
{
protected:
    void Grid(int workType, int x, int y)
    {
        m_config.WorkType = workType;
        m_config.XSize = x;
        m_config.YSize = y;
    }

    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    Configuration m_config{m_store, m_dir.File("OrvCalibration.ini"), m_prompt};
};

}  // namespace orv::test
