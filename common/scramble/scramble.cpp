#include "common/scramble/scramble.h"

namespace zelt::scramble {

namespace {

std::uint8_t keyAt(std::size_t position) { return kKey[position % kKey.size()]; }

std::string_view untilNul(std::string_view text) {
    const auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace

std::uint8_t scrambleByte(std::uint8_t plain, std::size_t position) {
    const std::uint8_t k = keyAt(position);
    // The complement of the byte plus the key; the byte k - 1 would become 0, which would end
    // the text, so it takes 256 - k instead (shared with 2k - 1, outside ASCII for this key).
    const auto s = static_cast<std::uint8_t>(static_cast<std::uint8_t>(~plain) + k);
    return s == 0 ? static_cast<std::uint8_t>(256 - k) : s;
}

std::uint8_t unscrambleByte(std::uint8_t scrambled, std::size_t position) {
    const std::uint8_t k = keyAt(position);
    if (static_cast<std::int8_t>(scrambled) + k == 0) return static_cast<std::uint8_t>(~scrambled);
    return static_cast<std::uint8_t>(~static_cast<std::uint8_t>(scrambled - k));
}

std::string scramble(std::string_view plain) {
    std::string out(untilNul(plain));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char>(scrambleByte(static_cast<std::uint8_t>(out[i]), i));
    }
    return out;
}

std::string unscramble(std::string_view scrambled) {
    std::string out(untilNul(scrambled));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char>(unscrambleByte(static_cast<std::uint8_t>(out[i]), i));
    }
    return out;
}

}  // namespace zelt::scramble
