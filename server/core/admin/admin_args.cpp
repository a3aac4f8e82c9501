#include "server/core/admin/admin_args.h"

#include "server/core/admin/admin_protocol.h"
#include "server/core/ui/texts.h"

namespace zelt::server::adminargs {

using nlohmann::json;
namespace ap = adminproto;

const json& member(const json& args, const char* key) {
    static const json none;
    const auto it = args.find(key);
    return it == args.end() ? none : *it;
}

std::optional<std::string> optionalText(const json& args, const char* key) {
    const json& value = member(args, key);
    if (value.is_null()) return std::nullopt;
    if (!value.is_string()) throw BadRequest{text::format("\"%s\" must be a text", key)};
    return value.get<std::string>();
}

std::string requiredText(const json& args, const char* key) {
    auto value = optionalText(args, key);
    if (!value) throw BadRequest{text::format("\"%s\" is missing", key)};
    return *value;
}

std::optional<bool> optionalFlag(const json& args, const char* key) {
    const json& value = member(args, key);
    if (value.is_null()) return std::nullopt;
    if (!value.is_boolean()) throw BadRequest{text::format("\"%s\" must be true or false", key)};
    return value.get<bool>();
}

std::optional<int> optionalNumber(const json& args, const char* key) {
    const json& value = member(args, key);
    if (value.is_null()) return std::nullopt;
    if (!value.is_number_integer() || value.get<long long>() < 0 ||
        value.get<long long>() > 1000000) {
        throw BadRequest{text::format("\"%s\" must be a number from 0 to 1000000", key)};
    }
    return value.get<int>();
}

int requiredNumber(const json& args, const char* key) {
    const auto value = optionalNumber(args, key);
    if (!value) throw BadRequest{text::format("\"%s\" is missing", key)};
    return *value;
}

std::vector<std::string> textList(const json& args, const char* key) {
    const json& value = member(args, key);
    if (!value.is_array() || value.empty()) {
        throw BadRequest{text::format("\"%s\" must be a list of texts", key)};
    }
    std::vector<std::string> out;
    for (const json& item : value) {
        if (!item.is_string()) throw BadRequest{text::format("\"%s\" must hold texts", key)};
        out.push_back(item.get<std::string>());
    }
    return out;
}

bool adding(const json& args) {
    const std::string action = requiredText(args, ap::arg::Action);
    if (action != ap::arg::Add && action != ap::arg::Remove) {
        throw BadRequest{"\"action\" must be \"add\" or \"remove\""};
    }
    return action == ap::arg::Add;
}

}  // namespace zelt::server::adminargs
