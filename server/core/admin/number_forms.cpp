#include "server/core/admin/number_forms.h"

#include <charconv>
#include <cstdint>

#include "server/core/store/settings_files.h"

namespace zelt::server {

namespace {

// An unsigned decimal number, the whole text and nothing else.
std::optional<long long> parseUnsigned(std::string_view text) {
    if (text.empty() || text.size() > 12) return std::nullopt;
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.front() == '-' ||
        text.front() == '+') {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<int> parseMinutes(std::string_view text) {
    const auto value = parseUnsigned(text);
    if (!value || *value == 0 || *value > INT32_MAX) return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<int> parsePort(std::string_view text) {
    const auto value = parseUnsigned(text);
    // Port 0 would have the next start listen on a port no client can know.
    if (!value || !isUsablePort(*value)) return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<std::string> checkShutdownForm(const ShutdownForm& form) {
    if (parseMinutes(form.minutes)) return std::nullopt;
    return std::string(text::InvalidMinutes);
}

std::optional<std::string> checkPortForm(const PortForm& form) {
    if (parsePort(form.port)) return std::nullopt;
    return std::string(text::InvalidPort);
}

}  // namespace zelt::server
