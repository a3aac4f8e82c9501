#pragma once

#include <nlohmann/json.hpp>

#include <string>

// The command's side of the administration socket (see admin_protocol.h).
namespace zelt::server::admin {

// How long the command waits for the server's answer.
inline constexpr int AnswerTimeoutMs = 60000;

struct Exchange {
    int exitStatus = 0;     // 0 when an answer came; else the status to end with
    std::string error;      // why not, for standard error
    nlohmann::json answer;  // the server's answer
};

// Whether a server answers on the data directory: 0, or the exit status and error of
// askServer().
Exchange reachServer(const std::string& dataDir);

// Sends one request to the server on the data directory and reads its answer.
Exchange askServer(const std::string& dataDir, const nlohmann::json& request);

}  // namespace zelt::server::admin
