#include "sim/Measurements.h"

#include <cmath>
#include <numbers>

namespace zir::sim {
namespace {

std::uint32_t Mix(std::uint32_t x) {
    // A small integer hash (xorshift-multiply), enough for scattered noise.
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

std::uint32_t Noise(std::uint32_t seed, int bank, int minute, int salt) {
    return Mix(seed * 0x9E3779B9u ^ Mix(static_cast<std::uint32_t>(bank * 4099 + minute * 7 + salt)));
}

// A channel value for one minute: a daily wave around a level whose power of
// ten depends on the bank and the channel, plus a little noise.
ChannelReading Reading(std::uint32_t seed, int bank, int minute, int channel) {
    const int basePower = channel == 0 ? (bank % 5) - 2 : (bank % 4);  // A: 0.01..100, B: 1..1000
    const double phase = 2.0 * std::numbers::pi * (minute + 360 * channel) / 1440.0;
    const double wave = 1.0 + 0.6 * std::sin(phase) + 0.3 * std::sin(7 * phase);
    const double jitter = 0.9 + 0.2 * (Noise(seed, bank, minute, channel) % 1000) / 1000.0;
    double x = 3.0 * wave * jitter;  // roughly 0.3 .. 6
    int power = basePower;
    while (x < 1.0) {
        x *= 10.0;
        --power;
    }
    while (x >= 10.0) {
        x /= 10.0;
        ++power;
    }
    ChannelReading r;
    r.valueCode = MakeValueCode(static_cast<int>(x * 100.0), power);
    r.uncertainty = static_cast<std::uint8_t>(1 + Noise(seed, bank, minute, 10 + channel) % 30);
    return r;
}

bool IsEmptyMinute(std::uint32_t seed, int bank, int minute) {
    return Noise(seed, bank, minute, 99) % 53 == 0;
}

} // namespace

Measurement ArchiveRecord(std::uint32_t seed, int bank, int minute) {
    Measurement m;
    if (IsEmptyMinute(seed, bank, minute)) {
        // Empty records come in both forms the instrument writes.
        const std::uint8_t mark = (minute % 2 == 0) ? 255 : 0;
        m.a = {0, mark};
        m.b = {0, 255};
        return m;
    }
    m.a = Reading(seed, bank, minute, 0);
    m.b = Reading(seed, bank, minute, 1);
    return m;
}

Measurement CurrentReading(std::uint32_t seed, int bank, int minute) {
    for (int step = 0; step < 1440; ++step) {
        const Measurement m = ArchiveRecord(seed, bank, (minute + step) % 1440);
        if (!m.Empty())
            return m;
    }
    return {Reading(seed, bank, minute, 0), Reading(seed, bank, minute, 1)};
}

} // namespace zir::sim
