#pragma once
// What the simulated instrument measures: a plausible day of a radiation
// monitor on each channel. A steady background that drifts a little from day
// to day and over the day, the counting noise of a one-minute measurement, and
// now and then a rise (a quick climb, then a slow decay, as after rain or a
// passing source) that both channels see. On some days the instrument was off
// for a few minutes: those records are empty (value 0, uncertainty 0 or 255).
//
// Everything is a pure function of the seed, the day (a day number, normally
// the bank date's Julian day) and the minute of the day, so a test can predict
// every record and a plot of consecutive days has no step at midnight.

#include <cstdint>

namespace zir::sim {

struct ChannelReading {
    std::uint16_t valueCode = 0;  // mantissa (hundredths) in bits 0..9, signed power in 10..15
    std::uint8_t uncertainty = 0; // percent
};

struct Measurement {
    ChannelReading a;
    ChannelReading b;
    bool Empty() const { return a.valueCode == 0 && b.valueCode == 0; }
};

// The record of `minute` (0..1439) of `day`: the minute's measurement, or an
// empty record where the instrument was off.
Measurement ArchiveRecord(std::uint32_t seed, std::int64_t day, int minute);

// The present reading during `minute` of `day`: the minute's measurement,
// also where the archive has an outage (a running instrument always has a
// present value).
Measurement CurrentReading(std::uint32_t seed, std::int64_t day, int minute);

// A record the instrument has not written (yet): both values 0, both
// uncertainties 255.
inline constexpr Measurement kUnwrittenRecord{{0, 255}, {0, 255}};

// The expected value of a channel (0 = A, 1 = B) at that minute, before the
// counting noise: the background with its drifts plus the rises.
double ExpectedValue(std::uint32_t seed, std::int64_t day, int minute, int channel);

} // namespace zir::sim
