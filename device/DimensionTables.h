#pragma once
// The two fixed translations between Windows-1251 and the instrument's own
// 8-bit character set, used for dimension texts.

#include <array>
#include <cstdint>

namespace zir {

extern const std::array<std::uint8_t, 256> kWinToDeviceTable;
extern const std::array<std::uint8_t, 256> kDeviceToWinTable;

} // namespace zir
