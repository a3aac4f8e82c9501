// Shut-down guidance and schedule, and the port for the next start.
#include <charconv>
#include <cstdint>
#include <cstdio>

#include "server/core/displays.h"
#include "server/core/server.h"

namespace zelt::server {

namespace {

std::string format(const char* pattern, int value) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

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

std::optional<int> Server::parseMinutes(std::string_view text) {
    const auto value = parseUnsigned(text);
    if (!value || *value == 0 || *value > INT32_MAX) return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<int> Server::parsePort(std::string_view text) {
    const auto value = parseUnsigned(text);
    // Port 0 would have the next start listen on a port no client can know.
    if (!value || *value == 0 || *value > 65535) return std::nullopt;
    return static_cast<int>(*value);
}

void Server::showShutdownGuidance() {
    console_.separator();
    if (shutdownScheduled_) {
        console_.plain(format("Shut down will be processed in %d minute(s).", minutesLeft_));
        console_.function("Cancel shut down schedule.", "CNCLSHTDN");
        console_.function("Shut down now.", "SHUTDOWN");
        return;
    }
    const int users = connectedUserCount(*accounts_);
    const int files = checkedOutFileCount(*groups_);
    if (users > 0) {
        console_.plain(format("%d account(s) currently logged in.", users));
        console_.function("Display connected users.", "DSPLOGIN");
    }
    if (files > 0) {
        console_.plain(format("%d file(s) currently checked-out.", files));
        console_.function("Display checked-out files.", "DSPCHKOUT");
    }
    if (users == 0 && files == 0) console_.plain("You are safe to shut down.");
    console_.function("Shut down now.", "SHUTDOWN");
    console_.function("Setup a schedule to shut down.", "SCHESHTDN");
}

void Server::scheduleShutdown(int minutes) {
    minutesLeft_ = minutes;
    shutdownScheduled_ = true;
    reactor_.startTimer(this, CountdownTimer, CountdownPeriod, TimerMode::Periodic,
                        [this] { onCountdown(); });
    const std::string text = format("Server will be shut down in %d minute(s).", minutesLeft_);
    console_.important(text);
    console_.function("Cancel shut down schedule.", "CNCLSHTDN");
    broadcast(text);
}

void Server::onCountdown() {
    --minutesLeft_;
    if (minutesLeft_ > 0) {
        const std::string text = format("Server will be shut down in %d minute(s).", minutesLeft_);
        console_.important(text);
        console_.function("Cancel shut down schedule.", "CNCLSHTDN");
        broadcast(text);
        return;
    }
    reactor_.killTimer(this, CountdownTimer);
    shutdownScheduled_ = false;
    closeCommunication();
}

void Server::cancelShutdown() {
    if (!shutdownScheduled_) {
        console_.plain("Shut down canceled already.");
        return;
    }
    reactor_.killTimer(this, CountdownTimer);
    shutdownScheduled_ = false;
    console_.important("Shut down canceled.");
    broadcast("Shut down canceled.");
}

void Server::changePort(int newPort) {
    if (newPort == port_) {
        console_.plain("Port not changed.");
        return;
    }
    port_ = newPort;
    if (!writePort(paths_.comm, port_)) {
        console_.error("Failed to save the port (Comm.zelt).");
        return;
    }
    console_.important("Port changed. Please shut down and restart the server to apply.");
}

}  // namespace zelt::server
