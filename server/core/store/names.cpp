#include "server/core/store/names.h"

namespace zelt::server {

namespace {

constexpr std::string_view kUserIllegal = "\\/:*?\"<>|;";
constexpr std::string_view kGroupIllegal = "\\/:*?\"<>|;@";

char lowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowerChar(c);
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerChar(a[i]) != lowerChar(b[i])) return false;
    }
    return true;
}

bool isReservedUserName(std::string_view name) {
    return equalsIgnoringCase(name, ReservedUserName);
}

bool userNameHasIllegalCharacters(std::string_view name) {
    return name.find_first_of(kUserIllegal) != std::string_view::npos;
}

bool groupNameHasIllegalCharacters(std::string_view name) {
    return name.find_first_of(kGroupIllegal) != std::string_view::npos;
}

bool hasWhiteSpace(std::string_view name) {
    return name.find_first_of(" \t") != std::string_view::npos;
}

bool isValidUserName(std::string_view name) {
    return !name.empty() && name.size() <= MaxUserNameLength && !hasWhiteSpace(name) &&
           !userNameHasIllegalCharacters(name) && !isReservedUserName(name);
}

bool isValidGroupName(std::string_view name) {
    return !name.empty() && name.size() <= MaxGroupNameLength &&
           !groupNameHasIllegalCharacters(name);
}

bool isValidPassword(std::string_view password) {
    return !password.empty() && password.size() <= MaxPasswordLength;
}

}  // namespace zelt::server
