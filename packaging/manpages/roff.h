#pragma once

#include <string>
#include <string_view>

// Writing manual pages in the roff that man(1) reads.
namespace zelt::manpages {

// Text for a roff line: backslashes kept literal, and a line that would start with a dot or a
// quote (a request to roff) started with a zero-width space instead. With asCode, hyphens are
// minus signs, so that options typed from the page work when copied.
std::string escape(std::string_view text, bool asCode = false);

// ".SH TITLE", the title in capitals as manual pages set section headings.
std::string section(std::string_view title);
// A tagged paragraph: the term in bold on its own line, the text indented below it.
std::string tagged(std::string_view term, std::string_view text);
// A plain paragraph.
std::string paragraph(std::string_view text);
// Lines set as they are, in an indented block (synopsis forms, examples).
std::string literal(std::string_view lines);

}  // namespace zelt::manpages
