#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

// Reading the arguments of an administration request (admin_protocol.h). A missing argument, or
// one of the wrong kind, throws BadRequest; a request reads all its arguments before it does
// anything, so a bad one changes nothing.
namespace zelt::server::adminargs {

struct BadRequest {
    std::string reason;
};

// The argument, or null when it is absent.
const nlohmann::json& member(const nlohmann::json& args, const char* key);
std::optional<std::string> optionalText(const nlohmann::json& args, const char* key);
std::string requiredText(const nlohmann::json& args, const char* key);
std::optional<bool> optionalFlag(const nlohmann::json& args, const char* key);
// A whole number from 0 to 1000000.
std::optional<int> optionalNumber(const nlohmann::json& args, const char* key);
int requiredNumber(const nlohmann::json& args, const char* key);
// A list of one text or more.
std::vector<std::string> textList(const nlohmann::json& args, const char* key);
// Whether "action" is "add" (else it is "remove").
bool adding(const nlohmann::json& args);

}  // namespace zelt::server::adminargs
