#pragma once
// Frequencies are indexed 0..13 in memory and numbered 1..14 in files, keys and on screen.

namespace orv {

constexpr int kFrequencyCount = 14;

}  // namespace orv
