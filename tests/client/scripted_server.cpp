#include "tests/client/scripted_server.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "common/platform/tcp.h"
#include "common/protocol/layouts.h"

namespace zelt::client::test {

using proto::Opcode;
using proto::Packet;

namespace {

std::span<const std::uint8_t> asBytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

ScriptedServer::ScriptedServer(Reactor& reactor) : reactor_(reactor) {
    const tcp::ListenResult listening = tcp::listenAll(0);
    if (listening.handle == kNoHandle) throw std::runtime_error("cannot listen");
    listener_ = listening.handle;
    port_ = listening.port;
    reactor_.watch(listener_, kReadable, [this](unsigned) { onAccept(); });
}

ScriptedServer::~ScriptedServer() {
    if (raw_ != kNoHandle) {
        reactor_.unwatch(raw_);
        tcp::closeSocket(raw_);
    }
    connection_.reset();
    retired_.reset();
    reactor_.unwatch(listener_);
    tcp::closeSocket(listener_);
}

void ScriptedServer::onAccept() {
    bool wouldBlock = false;
    int error = 0;
    const Handle handle = tcp::acceptConnection(listener_, &wouldBlock, &error);
    if (handle == kNoHandle) return;
    if (wholeReads) {
        if (raw_ != kNoHandle) {
            reactor_.unwatch(raw_);
            tcp::closeSocket(raw_);
        }
        raw_ = handle;
        reactor_.watch(raw_, kReadable, [this](unsigned) { onWholeRead(); });
        return;
    }
    retired_ = std::move(connection_);
    connection_ = std::make_unique<proto::Connection>(
        reactor_, handle, proto::Receiver::Server,
        [this](std::span<const std::uint8_t> bytes) {
            const proto::OpcodeInfo* info =
                bytes.size() >= 2 ? proto::findOpcode(bytes[1], proto::Receiver::Server) : nullptr;
            onPacket(Packet::received(bytes, info != nullptr ? info->sent : bytes.size()));
        },
        [this](int) {
            if (connection_) connection_->close();
        });
}

void ScriptedServer::onWholeRead() {
    std::array<std::uint8_t, proto::MaxPacketSize> buffer{};
    const tcp::IoResult r = tcp::recvSome(raw_, buffer.data(), buffer.size());
    if (r.status == tcp::IoResult::Status::WouldBlock) return;
    if (r.status != tcp::IoResult::Status::Ok) {
        reactor_.unwatch(raw_);
        tcp::closeSocket(raw_);
        raw_ = kNoHandle;
        return;
    }
    const std::span<const std::uint8_t> bytes(buffer.data(), r.bytes);
    const proto::OpcodeInfo* info =
        bytes.size() >= 2 ? proto::findOpcode(bytes[1], proto::Receiver::Server) : nullptr;
    if (info == nullptr || info->sent != bytes.size()) ++gluedReads;
    // Such a server knows only its own opcodes, and cuts nothing out of what it read.
    if (info == nullptr || static_cast<int>(info->opcode) > 38) {
        ++unknownOpcodes;
        return;
    }
    onPacket(Packet::received(bytes, info->sent));
}

void ScriptedServer::send(const Packet& packet) {
    if (raw_ != kNoHandle) {
        // Small answers on loopback: the socket takes each whole.
        (void)tcp::sendSome(raw_, packet.bytes().data(), packet.bytes().size());
        return;
    }
    if (connection_) connection_->send(packet.bytes());
}

void ScriptedServer::sendBytes(const ByteString& bytes) {
    if (connection_) connection_->send(bytes);
}

void ScriptedServer::dropClient() {
    if (raw_ != kNoHandle) {
        reactor_.unwatch(raw_);
        tcp::closeSocket(raw_);
        raw_ = kNoHandle;
    }
    if (connection_) connection_->close();
}

std::vector<Opcode> ScriptedServer::opcodes() const {
    std::vector<Opcode> out;
    for (const Packet& p : received) out.push_back(p.opcode());
    return out;
}

std::vector<Packet> ScriptedServer::receivedOf(Opcode opcode) const {
    std::vector<Packet> out;
    for (const Packet& p : received) {
        if (p.opcode() == opcode) out.push_back(p);
    }
    return out;
}

int ScriptedServer::countOf(Opcode opcode) const {
    return static_cast<int>(
        std::count_if(received.begin(), received.end(),
                      [opcode](const Packet& p) { return p.opcode() == opcode; }));
}

void ScriptedServer::onPacket(const Packet& p) {
    received.push_back(p);
    if (intercept && intercept(p)) return;
    answer(p);
}

void ScriptedServer::answer(const Packet& p) {
    switch (p.opcode()) {
        case Opcode::ReqLogin: {
            Packet r(Opcode::RepLogin);
            if (refuseLoginWith.empty()) {
                userName = p.get(proto::ReqLogin::userName);
                r.set(proto::RepLogin::result, 1);
                if (pipelined) {
                    r.set(proto::RepLogin::mark, asBytes(std::string(proto::kServerMark)));
                }
                send(r);
            } else {
                r.set(proto::RepLogin::reason, refuseLoginWith);
                send(r);
                dropClient();
            }
            break;
        }
        case Opcode::ReqGroupList: {
            Packet r(Opcode::RepGroupList, proto::RepGroupList::sizeFor(groups.size()));
            r.set(proto::RepGroupList::count, static_cast<std::uint8_t>(groups.size()));
            for (std::size_t k = 0; k < groups.size(); ++k) {
                r.set(proto::RepGroupList::names.at(k), groups[k]);
            }
            send(r);
            break;
        }
        case Opcode::ReqFileList: {
            const std::string group = p.get(proto::ReqFileList::groupName);
            const int start = p.get(proto::ReqFileList::start);
            const std::vector<std::string>& files = groupFiles[group];
            Packet r(Opcode::RepFileList);
            r.set(proto::RepFileList::groupName, group);
            int n = 0;
            for (int at = start; at >= 0 && at < start + 5 && at < static_cast<int>(files.size());
                 ++at, ++n) {
                const std::string& path = files[static_cast<std::size_t>(at)];
                r.set(proto::RepFileList::path.at(static_cast<std::size_t>(n)), path);
                r.set(proto::RepFileList::holder.at(static_cast<std::size_t>(n)), holders[path]);
            }
            r.set(proto::RepFileList::count, n);
            r.set(proto::RepFileList::more, n == 5 ? 1 : 0);
            send(r);
            break;
        }
        case Opcode::ReqFileProperties: {
            Packet r(Opcode::RepFileProperties);
            const std::string path = p.get(proto::ReqFileProperties::path);
            r.set(proto::RepFileProperties::groupName, p.get(proto::ReqFileProperties::groupName));
            r.set(proto::RepFileProperties::path, path);
            if (!holders[path].empty()) {
                r.set(proto::RepFileProperties::holder, holders[path]);
                r.set(proto::RepFileProperties::checkOutTime, "2007/04/28 [16:10]");
            }
            send(r);
            break;
        }
        case Opcode::ReqCheckOut: {
            const std::string path = p.get(proto::ReqCheckOut::path);
            Packet r(Opcode::RepCheckOut);
            r.set(proto::RepCheckOut::tag, p.get(proto::ReqCheckOut::tag));
            r.set(proto::RepCheckOut::path, path);
            if (!holders[path].empty()) {
                r.set(proto::RepCheckOut::status, proto::RepCheckOut::kRefused);
                r.set(proto::RepCheckOut::reason,
                      "Already checked-out by '" + holders[path] + "' at 2007/04/28 [16:10].");
            } else {
                holders[path] = userName;
                r.set(proto::RepCheckOut::status, proto::RepCheckOut::kCheckedOut);
            }
            send(r);
            break;
        }
        case Opcode::ReqVoidCheckOut: {
            holders.erase(p.get(proto::ReqVoidCheckOut::path));
            Packet r(Opcode::RepVoidCheckOut);
            r.set(proto::RepVoidCheckOut::tag, p.get(proto::ReqVoidCheckOut::tag));
            r.set(proto::RepVoidCheckOut::path, p.get(proto::ReqVoidCheckOut::path));
            send(r);
            break;
        }
        case Opcode::ReqViewOpen:
        case Opcode::ReqFetchOpen:
            answerDownloadOpen(p);
            break;
        case Opcode::ReqViewChunk:
        case Opcode::ReqFetchChunk:
            answerDownloadChunk(p);
            break;
        case Opcode::ReqViewClose:
        case Opcode::ReqFetchClose:
            deletedTemps.insert(p.get(proto::ReqViewClose::tempPath));
            temps_.erase(p.get(proto::ReqViewClose::tempPath));
            break;
        case Opcode::ReqCheckInChunk:
            answerUpload(p);
            break;
        case Opcode::ReqCheckInAbort:
            uploads.erase(p.get(proto::ReqCheckInAbort::uploadName));
            break;
        case Opcode::ReqCheckIn:
            answerCommit(p);
            break;
        case Opcode::ReqNotice: {
            Packet r(Opcode::RepNotice);
            r.set(proto::RepNotice::text, notice);
            send(r);
            break;
        }
        case Opcode::ReqKeepAlive:
            if (answerKeepAlive) send(Packet(Opcode::RepKeepAlive));
            break;
        default:
            break;
    }
}

void ScriptedServer::answerDownloadOpen(const Packet& p) {
    const bool fetch = p.opcode() == Opcode::ReqFetchOpen;
    const std::string path =
        fetch ? p.get(proto::ReqFetchOpen::path) : p.get(proto::ReqViewOpen::path);
    Packet r(fetch ? Opcode::RepFetchOpen : Opcode::RepViewOpen);
    std::string temp;
    std::int64_t size = 0;
    if (auto it = contents.find(path); it != contents.end()) {
        // Windows-style temporary names, as a server on Windows hands them out.
        temp = "C:\\ZELT\\Temp\\" + userName.substr(0, 3) + std::to_string(nextTemp_++) + ".tmp";
        temps_[temp] = it->second;
        size = static_cast<std::int64_t>(it->second.size());
    }
    if (fetch) {
        r.set(proto::RepFetchOpen::tag, p.get(proto::ReqFetchOpen::tag));
        r.set(proto::RepFetchOpen::path, path);
        r.set(proto::RepFetchOpen::tempPath, temp);
        r.set(proto::RepFetchOpen::size, size);
    } else {
        r.set(proto::RepViewOpen::path, path);
        r.set(proto::RepViewOpen::tempPath, temp);
        r.set(proto::RepViewOpen::size, size);
    }
    send(r);
}

void ScriptedServer::answerDownloadChunk(const Packet& p) {
    const bool fetch = p.opcode() == Opcode::ReqFetchChunk;
    const std::string path =
        fetch ? p.get(proto::ReqFetchChunk::path) : p.get(proto::ReqViewChunk::path);
    const std::string temp =
        fetch ? p.get(proto::ReqFetchChunk::tempPath) : p.get(proto::ReqViewChunk::tempPath);
    const std::int64_t offset =
        fetch ? p.get(proto::ReqFetchChunk::offset) : p.get(proto::ReqViewChunk::offset);
    std::int32_t status = proto::kChunkError;
    std::string data;
    if (auto it = temps_.find(temp); it != temps_.end() && offset >= 0) {
        const auto at = std::min(static_cast<std::size_t>(offset), it->second.size());
        data = it->second.substr(at, proto::ChunkSize);
        status = data.size() == proto::ChunkSize ? proto::kChunkMore : proto::kChunkLast;
        if (status == proto::kChunkLast) temps_.erase(it);
    }
    std::uint8_t checksum = proto::chunkChecksum(asBytes(data));
    if (damageChunks > 0 || damageOffsets.erase(offset) != 0) {
        if (damageChunks > 0) --damageChunks;
        ++checksum;
    }
    Packet r(fetch ? Opcode::RepFetchChunk : Opcode::RepViewChunk);
    if (fetch) {
        r.set(proto::RepFetchChunk::tag, p.get(proto::ReqFetchChunk::tag));
        r.set(proto::RepFetchChunk::status, status);
        r.set(proto::RepFetchChunk::path, path);
        r.set(proto::RepFetchChunk::tempPath, temp);
        r.set(proto::RepFetchChunk::count, static_cast<std::int64_t>(data.size()));
        r.set(proto::RepFetchChunk::checksum, checksum);
        r.set(proto::RepFetchChunk::data, asBytes(data));
    } else {
        r.set(proto::RepViewChunk::status, status);
        r.set(proto::RepViewChunk::path, path);
        r.set(proto::RepViewChunk::tempPath, temp);
        r.set(proto::RepViewChunk::count, static_cast<std::int64_t>(data.size()));
        r.set(proto::RepViewChunk::checksum, checksum);
        r.set(proto::RepViewChunk::data, asBytes(data));
    }
    send(r);
}

void ScriptedServer::answerUpload(const Packet& p) {
    const std::string name = p.get(proto::ReqCheckInChunk::uploadName);
    const std::int64_t offset = p.get(proto::ReqCheckInChunk::offset);
    const auto count = static_cast<std::size_t>(p.get(proto::ReqCheckInChunk::count));
    const std::span<const std::uint8_t> data = p.get(proto::ReqCheckInChunk::data).first(count);
    Packet r(Opcode::RepCheckInChunk);
    r.set(proto::RepCheckInChunk::tag, p.get(proto::ReqCheckInChunk::tag));
    if (damageUploads > 0 || damageOffsets.erase(offset) != 0 ||
        proto::chunkChecksum(data) != p.get(proto::ReqCheckInChunk::checksum)) {
        if (damageUploads > 0) --damageUploads;
        r.set(proto::RepCheckInChunk::nextOffset, offset);
        send(r);
        return;
    }
    std::string& upload = uploads[name];
    if (pipelined) {
        const auto at = static_cast<std::size_t>(offset);
        if (upload.size() < at + count) upload.resize(at + count);
        upload.replace(at, count, reinterpret_cast<const char*>(data.data()), count);
    } else {
        if (offset == 0) upload.clear();
        upload.append(reinterpret_cast<const char*>(data.data()), data.size());
    }
    r.set(proto::RepCheckInChunk::done, p.get(proto::ReqCheckInChunk::last));
    r.set(proto::RepCheckInChunk::nextOffset, offset + static_cast<std::int64_t>(count));
    send(r);
}

void ScriptedServer::answerCommit(const Packet& p) {
    const std::string path = p.get(proto::ReqCheckIn::path);
    const std::string name = p.get(proto::ReqCheckIn::uploadName);
    Packet r(Opcode::RepCheckIn);
    r.set(proto::RepCheckIn::tag, p.get(proto::ReqCheckIn::tag));
    auto it = uploads.find(name);
    if (it == uploads.end()) {
        r.set(proto::RepCheckIn::status, proto::RepCheckIn::kFailed);
        r.set(proto::RepCheckIn::reason, "Failed to overwrite the latest file with new file.");
    } else {
        const std::string user = p.get(proto::ReqCheckIn::userName);
        checkIns.push_back({path, user, p.get(proto::ReqCheckIn::comment), it->second});
        contents[path] = it->second;
        if (holders[path] == user) holders.erase(path);
        uploads.erase(it);
    }
    send(r);
}

}  // namespace zelt::client::test
