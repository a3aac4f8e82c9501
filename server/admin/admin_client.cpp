#include "server/admin/admin_client.h"

#include <cerrno>
#include <filesystem>

#include "common/platform/files.h"
#include "common/platform/local_socket.h"
#include "common/platform/tcp.h"
#include "server/admin/admin_command.h"
#include "server/core/admin/admin_protocol.h"
#include "server/core/ui/texts.h"

namespace zelt::server::admin {

namespace {

// An answer may be long (every account, every checked-out file), but not endless.
constexpr std::size_t kMaxAnswer = 64 * 1024 * 1024;

// The directory as the messages name it: absolute, so that "." says where.
std::string shown(const std::string& dataDir) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(dataDir, error).lexically_normal();
    if (error) return dataDir;
    std::string text = path.string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

Exchange fail(int status, std::string error) {
    Exchange e;
    e.exitStatus = status;
    e.error = std::move(error);
    return e;
}

// Connects to the server's socket; the handle, or the failure in e.
Handle connect(const std::string& dataDir, Exchange& e) {
    const std::string path = files::join(dataDir, std::string(adminproto::SocketName));
    const local::SocketResult r = local::connectTo(path, AnswerTimeoutMs);
    if (r.handle != kNoHandle) return r.handle;
    // No socket, or one a server that has gone left behind.
    if (r.error == ENOENT || r.error == ECONNREFUSED || r.error == ENOTDIR) {
        e = fail(ExitNoServer, text::format(text::NoServer, shown(dataDir)));
    } else {
        e = fail(ExitRefused, text::format(text::CannotReachServer, shown(dataDir),
                                           files::Status::failed(r.error).message()));
    }
    return kNoHandle;
}

}  // namespace

Exchange reachServer(const std::string& dataDir) {
    Exchange e;
    const Handle handle = connect(dataDir, e);
    tcp::closeSocket(handle);
    return e;
}

Exchange askServer(const std::string& dataDir, const nlohmann::json& request) {
    Exchange e;
    const Handle handle = connect(dataDir, e);
    if (handle == kNoHandle) return e;

    const std::string line =
        request.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::size_t sent = 0;
    while (sent < line.size()) {
        const tcp::IoResult r = tcp::sendSome(handle, line.data() + sent, line.size() - sent);
        if (!r.ok()) break;
        sent += r.bytes;
    }

    std::string in;
    char buffer[16384];
    bool timedOut = false;
    while (in.find('\n') == std::string::npos && in.size() < kMaxAnswer) {
        const tcp::IoResult r = tcp::recvSome(handle, buffer, sizeof buffer);
        if (r.status == tcp::IoResult::Status::WouldBlock) timedOut = true;
        if (!r.ok()) break;
        in.append(buffer, r.bytes);
    }
    tcp::closeSocket(handle);

    const auto end = in.find('\n');
    if (end == std::string::npos) {
        return fail(ExitRefused,
                    text::format(timedOut ? text::AnswerTimedOut : text::NoAnswer, shown(dataDir)));
    }
    e.answer = nlohmann::json::parse(in.substr(0, end), nullptr, false);
    if (!e.answer.is_object()) {
        return fail(ExitRefused, text::format(text::NoAnswer, shown(dataDir)));
    }
    return e;
}

}  // namespace zelt::server::admin
