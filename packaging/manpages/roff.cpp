#include "packaging/manpages/roff.h"

#include <cctype>

namespace zelt::manpages {

std::string escape(std::string_view text, bool asCode) {
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        lineStart = c == '\n';
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-' && asCode) {
            out += "\\-";
        } else {
            out += c;
        }
    }
    return out;
}

std::string section(std::string_view title) {
    std::string upper;
    for (const char c : title)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ".SH \"" + escape(upper) + "\"\n";
}

std::string tagged(std::string_view term, std::string_view text) {
    // The term is one quoted argument of .B: a quote inside it is written as roff's own.
    std::string quoted;
    for (const char c : escape(term, true))
        quoted += c == '"' ? std::string("\\(dq") : std::string(1, c);
    return ".TP\n.B \"" + quoted + "\"\n" + escape(text) + "\n";
}

std::string paragraph(std::string_view text) {
    return ".PP\n" + escape(text) + "\n";
}

std::string literal(std::string_view lines) {
    return ".PP\n.RS 4\n.nf\n" + escape(lines, true) + "\n.fi\n.RE\n";
}

}  // namespace zelt::manpages
