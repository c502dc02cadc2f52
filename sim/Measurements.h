#pragma once
// Deterministic measurements of the simulated instrument: what each archive
// minute holds and what the channels read at present. The values look like
// real counts: they drift slowly over the day, span several powers of ten
// from bank to bank, carry uncertainties of 1 to 30 %, and a few minutes are
// empty (value 0, uncertainty 0 or 255), as when the instrument was off.

#include <cstdint>

namespace zir::sim {

struct ChannelReading {
    std::uint16_t valueCode = 0;   // mantissa (hundredths) in bits 0..9, signed power in 10..15
    std::uint8_t uncertainty = 0;  // percent
};

struct Measurement {
    ChannelReading a;
    ChannelReading b;
    bool Empty() const { return a.valueCode == 0 && b.valueCode == 0; }
};

// The archive record of `minute` (0..1439) in `bank`. Depends only on its
// arguments, so a test can predict every record.
Measurement ArchiveRecord(std::uint32_t seed, int bank, int minute);

// The present reading at `minute` of the day in the bank in use: the archive
// value of that minute, or of the next non-empty minute, since a running
// instrument always has a present value.
Measurement CurrentReading(std::uint32_t seed, int bank, int minute);

// A value code from mantissa (100..999 for a normalised value) and power.
constexpr std::uint16_t MakeValueCode(int mantissa, int power) {
    return static_cast<std::uint16_t>((mantissa & 0x3FF) | ((power & 0x3F) << 10));
}

} // namespace zir::sim
