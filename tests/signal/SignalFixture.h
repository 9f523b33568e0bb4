#pragma once
// A real Configuration over an empty settings store and an empty calibration folder, so the
// active calibration is the built-in one, and helpers that write raw readings into slots.

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "TempDir.h"
#include "base/MeasurementSlot.h"
#include "config/Configuration.h"
#include "signal/InverseModel.h"

#include <gtest/gtest.h>

namespace orv {

// Writes the four wire values of block i (signal values before the 7-bit scaling) and marks the
// frequency present.
inline void PutBlock(MeasurementSlot& slot, int i, const RawBlock& block)
{
    for (size_t k = 0; k < 4; ++k) {
        big_endian::Store24(&slot.bytes[kBlockSize * size_t(i) + 3 * k],
                            static_cast<uint32_t>(block[k]) & 0xFFFFFFu);
    }
    const uint16_t mask = uint16_t(slot.PresentMask() | (1u << i));
    little_endian::Store16(&slot.bytes[kMaskOffset], mask);
}

// Receiver values given after the scaling (whole ADC units), current values as they are.
inline void PutAdc(MeasurementSlot& slot, int i, int32_t re, int32_t im, int32_t cre, int32_t cim)
{
    PutBlock(slot, i, {re * 128, im * 128, cre, cim});
}

class SignalTest : public ::testing::Test
{
protected:
    SignalTest() : m_config(m_store, m_dir.File("OrvCalibration.ini"), m_prompt) {}

    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    Configuration m_config;
};

}  // namespace orv
