#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Passwords are kept, stored and sent only in this reversible scrambled form. Both programs
// and every stored Accounts.zelt and Comm.zelt depend on the exact bytes, so the scheme and its
// key never change.
namespace zelt::scramble {

inline constexpr std::array<std::uint8_t, 4> kKey{91, 67, 113, 79};

// Scrambles one byte at position i. Never returns 0 for a non-zero byte.
std::uint8_t scrambleByte(std::uint8_t plain, std::size_t position);
std::uint8_t unscrambleByte(std::uint8_t scrambled, std::size_t position);

// Whole texts, up to their first NUL; the length is unchanged.
std::string scramble(std::string_view plain);
std::string unscramble(std::string_view scrambled);

}  // namespace zelt::scramble
