#include "server/headless/headless.h"

#include <cstdio>

#include "common/platform/settings.h"

namespace zelt::server {

namespace {

void appendEscaped(std::string& out, std::string_view field) {
    for (const char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
                    out += hex;
                } else {
                    out.push_back(c);
                }
        }
    }
}

}  // namespace

std::string StreamConsole::format(const ConsoleLine& line) {
    std::string out;
    appendEscaped(out, line.stamp);
    out.push_back('\t');
    out += lineKindName(line.kind);
    out.push_back('\t');
    appendEscaped(out, line.tag);
    out.push_back('\t');
    appendEscaped(out, line.text);
    out.push_back('\n');
    return out;
}

void StreamConsole::lineAppended(const ConsoleLine& line, std::size_t) {
    const std::string text = format(line);
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
}

void HeadlessUi::startRefused(const std::string& reason) {
    std::fprintf(errors_, "zelt-server: %s\n", reason.c_str());
    std::fflush(errors_);
    refused = true;
    closeRequested = true;
}

std::string serverDataDirectory(const std::string& fromCommandLine) {
    if (!fromCommandLine.empty()) return fromCommandLine;
    const std::string configured =
        settings::machineDataDirectory("ZELT_SERVER_CONFIG", "/etc/zelt/server.conf");
    return configured.empty() ? "." : configured;
}

std::string serverContactAddress() {
    return settings::machineSetting("ZELT_SERVER_CONFIG", "/etc/zelt/server.conf", "contact");
}

}  // namespace zelt::server
