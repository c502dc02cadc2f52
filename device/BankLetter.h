#pragma once
// Banks are asked for, and named in replies, by a letter: "A" for bank 0,
// "B" for bank 1, ..., counted in 8 bits.

#include <cstdint>

namespace zir {

inline constexpr std::uint8_t kBankLetterBase = 0x41; // "A"

constexpr char BankLetter(std::uint8_t bank) {
    return static_cast<char>(static_cast<std::uint8_t>(kBankLetterBase + bank));
}

// The bank a letter names (8-bit arithmetic: a letter below "A" wraps round).
constexpr std::uint8_t BankNumberOf(std::uint8_t letter) { return static_cast<std::uint8_t>(letter - kBankLetterBase); }

} // namespace zir
