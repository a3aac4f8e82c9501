#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.h"

// Reading a console back in assertions.
namespace zelt::test {

// Texts of the lines appended since a mark (console.size() taken earlier).
inline std::vector<std::string> lineTextsSince(const Console& console, std::size_t mark = 0) {
    std::vector<std::string> out;
    const auto& lines = console.lines();
    for (std::size_t i = std::min(mark, lines.size()); i < lines.size(); ++i) {
        out.push_back(lines[i].text);
    }
    return out;
}

inline bool hasLine(const Console& console, std::string_view text) {
    const auto& lines = console.lines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const ConsoleLine& line) { return line.text == text; });
}

// A console line as assertions compare it: everything but the stamp.
struct SeenLine {
    std::string text;
    LineKind kind;
    std::string tag;
    bool operator==(const SeenLine&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const SeenLine& line) {
    return out << "{" << line.text << ", " << lineKindName(line.kind) << ", '" << line.tag << "'}";
}

inline std::vector<SeenLine> linesSince(const Console& console, std::size_t mark) {
    std::vector<SeenLine> out;
    const auto& lines = console.lines();
    for (std::size_t i = std::min(mark, lines.size()); i < lines.size(); ++i) {
        out.push_back({lines[i].text, lines[i].kind, lines[i].tag});
    }
    return out;
}

// The kind of the last line with this text; a failure when there is none.
inline LineKind kindOfLast(const Console& console, std::string_view text) {
    const auto& lines = console.lines();
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (it->text == text) return it->kind;
    }
    ADD_FAILURE() << "no line " << text;
    return LineKind::Plain;
}

}  // namespace zelt::test
