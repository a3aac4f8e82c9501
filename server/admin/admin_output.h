#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

// What the command prints of the server's answer.
namespace zelt::server::admin {

// The text a command shows of an answer with status "done": the console lines, then what the
// command shows (a group, a file, a setting) in the words and layout of its window. One entry per
// output line, not yet escaped.
std::vector<std::string> answerLines(std::string_view command, const nlohmann::json& answer);

// Prints the answer (as lines, or with asJson as one JSON document) and returns the exit status:
// done 0; refused or not understood 1, with the reason on standard error.
int report(std::string_view command, const nlohmann::json& answer, bool asJson);

}  // namespace zelt::server::admin
