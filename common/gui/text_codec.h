#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace zelt::gui {

// The cores keep texts as the bytes that travel in packets and records. Linux peers write
// UTF-8; older peers write single-byte Western text, which is never valid UTF-8 once it holds
// an accented letter, so such bytes are shown as Latin-1 instead of as replacement marks.
QString toQt(std::string_view bytes);

// UTF-8 of text, cut to at most maxBytes without splitting a character, so that a field of
// fixed width never receives half of one.
std::string toBytes(const QString& text, std::size_t maxBytes = std::string::npos);

}  // namespace zelt::gui
