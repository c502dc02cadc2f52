#include "sim/Measurements.h"

#include "link/numFormats.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zir::sim {
namespace {

constexpr int kMinutesPerDay = 1440;
constexpr int kChannels = 2;

// Channel A reads like a dose rate (about 0.12), channel B like a count rate
// (about 18). At that background a minute holds about 280 (A) and 1100 (B)
// counts, so the stated uncertainty (twice the relative standard deviation)
// is about 12 % and 6 %; it shrinks as the value rises.
constexpr double kBackground[kChannels] = {0.12, 18.0};
constexpr double kBackgroundCounts[kChannels] = {280.0, 1100.0};

std::uint32_t Mix(std::uint32_t x) {
    // A small integer hash (xorshift-multiply), enough for scattered noise.
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// A uniform number in [0, 1) for the seed, the day and what it is for.
double Uniform(std::uint32_t seed, std::int64_t day, std::uint32_t what) {
    const auto d = static_cast<std::uint64_t>(day);
    std::uint32_t h = Mix(seed * 0x9E3779B9u ^ 0x5BD1E995u);
    h = Mix(h ^ static_cast<std::uint32_t>(d));
    h = Mix(h ^ static_cast<std::uint32_t>(d >> 32) ^ Mix(what));
    return static_cast<double>(h >> 8) / static_cast<double>(1u << 24);
}

// What each draw of Uniform is for; minute-wise draws add the minute.
enum Purpose : std::uint32_t {
    kSeedLevel = 1, // + channel
    kDayLevel = 3,  // + channel
    kRiseCount = 5,
    kRiseField = 16, // + 8 x rise + field
    kOutageCount = 40,
    kOutageField = 41, // + field
    kNoise = 0x10000,  // + 4 x minute + 2 x channel + draw
};

// The seed's background of a channel: within 0.7..1.3 of the nominal one.
double SeedBackground(std::uint32_t seed, int channel) {
    return kBackground[channel] * (0.7 + 0.6 * Uniform(seed, 0, kSeedLevel + static_cast<std::uint32_t>(channel)));
}

// Day-to-day drift: each day's noon has a level within 0.85..1.15, and the
// minutes between two noons pass smoothly from one to the next.
double DayDrift(std::uint32_t seed, std::int64_t day, int minute, int channel) {
    const auto noonLevel = [&](std::int64_t d) {
        return 0.85 + 0.3 * Uniform(seed, d, kDayLevel + static_cast<std::uint32_t>(channel));
    };
    const double sinceNoon = (minute - kMinutesPerDay / 2) / static_cast<double>(kMinutesPerDay);
    const std::int64_t before = sinceNoon < 0 ? day - 1 : day;
    const double s = sinceNoon < 0 ? sinceNoon + 1.0 : sinceNoon;
    const double smooth = s * s * (3.0 - 2.0 * s);
    return noonLevel(before) + (noonLevel(before + 1) - noonLevel(before)) * smooth;
}

// Over the day the background is highest in the early morning, about 6 %
// above its mean, as radon near the ground is.
double DailyWave(int minute) {
    return 1.0 + 0.06 * std::cos(2.0 * std::numbers::pi * (minute - 6 * 60) / kMinutesPerDay);
}

struct Rise {
    double start;             // minute of the day it begins
    double climb;             // minutes to its top
    double decay;             // time constant of the fall, minutes
    double height[kChannels]; // at the top, in backgrounds
};

// About four days in ten have a rise, a few of them two.
int RiseCount(std::uint32_t seed, std::int64_t day) {
    const double u = Uniform(seed, day, kRiseCount);
    return u < 0.32 ? 1 : u < 0.42 ? 2 : 0;
}

Rise RiseOf(std::uint32_t seed, std::int64_t day, int index) {
    const auto field = [&](std::uint32_t f) {
        return Uniform(seed, day, kRiseField + 8 * static_cast<std::uint32_t>(index) + f);
    };
    Rise r{};
    r.start = field(0) * kMinutesPerDay;
    r.climb = 5.0 + 35.0 * field(1);
    r.decay = 20.0 + 160.0 * field(2);
    // From a third of the background up to 30 backgrounds, small ones more
    // often; channel B sees it somewhat stronger or weaker than A.
    r.height[0] = 0.3 * std::pow(100.0, field(3));
    r.height[1] = r.height[0] * (0.6 + 0.8 * field(4));
    return r;
}

// The rises at that minute, in backgrounds: those of the day and those of
// the day before that are still decaying.
double RiseAt(std::uint32_t seed, std::int64_t day, int minute, int channel) {
    double sum = 0.0;
    for (std::int64_t d : {day - 1, day}) {
        const int count = RiseCount(seed, d);
        for (int i = 0; i < count; ++i) {
            const Rise r = RiseOf(seed, d, i);
            const double t = minute + static_cast<double>(day - d) * kMinutesPerDay - r.start;
            if (t < 0.0) continue;
            sum +=
                t < r.climb ? r.height[channel] * t / r.climb : r.height[channel] * std::exp(-(t - r.climb) / r.decay);
        }
    }
    return sum;
}

// About one day in seven the instrument was off for 2 to 20 minutes.
bool InOutage(std::uint32_t seed, std::int64_t day, int minute) {
    if (Uniform(seed, day, kOutageCount) >= 0.15) return false;
    const int start = static_cast<int>(Uniform(seed, day, kOutageField) * kMinutesPerDay);
    const int length = 2 + static_cast<int>(Uniform(seed, day, kOutageField + 1) * 19);
    return minute >= start && minute < start + length;
}

// A standard normal number (Box-Muller) for the minute's counting noise.
double Gaussian(std::uint32_t seed, std::int64_t day, int minute, int channel) {
    const std::uint32_t draw =
        kNoise + 4u * static_cast<std::uint32_t>(minute) + 2u * static_cast<std::uint32_t>(channel);
    const double u1 = 1.0 - Uniform(seed, day, draw); // (0, 1]
    const double u2 = Uniform(seed, day, draw + 1);
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

ChannelReading Measure(std::uint32_t seed, std::int64_t day, int minute, int channel) {
    const double expected = ExpectedValue(seed, day, minute, channel);
    const double counts = kBackgroundCounts[channel] * expected / kBackground[channel];
    const double relative = 1.0 / std::sqrt(counts);
    const double value = expected * std::max(0.05, 1.0 + relative * Gaussian(seed, day, minute, channel));
    ChannelReading r;
    r.valueCode = EncodeValueCode(value);
    r.uncertainty = static_cast<std::uint8_t>(std::clamp(std::lround(200.0 * relative), 1l, 30l));
    return r;
}

int MinuteOfDay(int minute) { return ((minute % kMinutesPerDay) + kMinutesPerDay) % kMinutesPerDay; }

} // namespace

double ExpectedValue(std::uint32_t seed, std::int64_t day, int minute, int channel) {
    minute = MinuteOfDay(minute);
    const double background = SeedBackground(seed, channel) * DayDrift(seed, day, minute, channel) * DailyWave(minute);
    return background * (1.0 + RiseAt(seed, day, minute, channel));
}

Measurement CurrentReading(std::uint32_t seed, std::int64_t day, int minute) {
    minute = MinuteOfDay(minute);
    return {Measure(seed, day, minute, 0), Measure(seed, day, minute, 1)};
}

Measurement ArchiveRecord(std::uint32_t seed, std::int64_t day, int minute) {
    minute = MinuteOfDay(minute);
    if (InOutage(seed, day, minute)) {
        // Empty records come in both forms the instrument writes.
        const std::uint8_t mark = (minute % 2 == 0) ? 255 : 0;
        return {{0, mark}, {0, 255}};
    }
    return CurrentReading(seed, day, minute);
}

} // namespace zir::sim
