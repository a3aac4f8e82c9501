#pragma once

#include <string>
#include <string_view>

// Name rules and comparisons of accounts and groups. User and group names compare without
// regard to ASCII letter case; nothing else is folded.
namespace zelt::server {

inline constexpr std::size_t MaxUserNameLength = 50;
inline constexpr std::size_t MaxGroupNameLength = 30;
inline constexpr std::size_t MaxPasswordLength = 20;
inline constexpr std::string_view ReservedUserName = "admin";

std::string lowerAscii(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

bool isReservedUserName(std::string_view name);
// \ / : * ? " < > | ;
bool userNameHasIllegalCharacters(std::string_view name);
// The same and @, the group prefix of message recipients.
bool groupNameHasIllegalCharacters(std::string_view name);
bool hasWhiteSpace(std::string_view name);

// 1 to 50 characters, no space or tab, no illegal character, not the reserved name.
bool isValidUserName(std::string_view name);
// 1 to 30 characters, no group-name illegal character.
bool isValidGroupName(std::string_view name);
// 1 to 20 characters before scrambling.
bool isValidPassword(std::string_view password);

}  // namespace zelt::server
