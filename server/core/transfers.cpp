// View and fetch transfers: a private copy of a member file in Temp, handed out in checksummed
// chunks of 1024 bytes that the client asks for by offset.
#include <array>

#include "common/platform/files.h"
#include "common/protocol/layouts.h"
#include "server/core/member_files.h"
#include "server/core/repository.h"
#include "server/core/server.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

bool Repository::mayRead(std::string_view path, std::string_view userName) const {
    bool allowed = false;
    forEachEnabledEntry(server_.groups(), path, [&](std::size_t group, proto::ConstView) {
        allowed = allowed || server_.groups().isMember(group, userName);
    });
    return allowed;
}

void Repository::openCopy(int slot, const Packet& request) {
    const bool fetch = request.opcode() == Opcode::ReqFetchOpen;
    const std::string path = request.get(fetch ? proto::ReqFetchOpen::path : proto::ReqViewOpen::path);
    const std::string userName = server_.userNameOf(slot);

    // Any other path gets the answer of a copy that failed: the server hands out its members'
    // files to their groups, not whatever file a client names.
    std::string temp;
    std::int64_t size = 0;
    if (mayRead(path, userName) && files::isFile(path)) {
        temp = temps_.createDownload(userName);
        if (!temp.empty() && files::copyFile(path, temp)) {
            // The size of what will be served, even if the file changed while it was copied.
            size = files::fileSize(temp).value_or(0);
        } else if (!temp.empty()) {
            temps_.remove(temp);
            temp.clear();
        }
    }

    if (fetch) {
        Packet out(Opcode::RepFetchOpen);
        out.set(proto::RepFetchOpen::tag, request.get(proto::ReqFetchOpen::tag));
        out.set(proto::RepFetchOpen::path, path);
        out.set(proto::RepFetchOpen::tempPath, temp);
        out.set(proto::RepFetchOpen::size, size);
        return reply(slot, out);
    }
    Packet out(Opcode::RepViewOpen);
    out.set(proto::RepViewOpen::path, path);
    out.set(proto::RepViewOpen::tempPath, temp);
    out.set(proto::RepViewOpen::size, size);
    reply(slot, out);
}

void Repository::sendChunk(int slot, const Packet& request) {
    const bool fetch = request.opcode() == Opcode::ReqFetchChunk;
    const std::string path =
        request.get(fetch ? proto::ReqFetchChunk::path : proto::ReqViewChunk::path);
    const std::string temp =
        request.get(fetch ? proto::ReqFetchChunk::tempPath : proto::ReqViewChunk::tempPath);
    const std::int64_t offset =
        request.get(fetch ? proto::ReqFetchChunk::offset : proto::ReqViewChunk::offset);

    std::array<std::uint8_t, proto::ChunkSize> data{};
    std::int32_t status = proto::kChunkError;
    std::size_t count = 0;
    // Only a copy made for this very account is read: a temp path is no way into the disk.
    if (files::OpenFile* copy = temps_.use(temp, server_.userNameOf(slot), TempFiles::Kind::Download)) {
        if (const auto n = copy->readAt(offset, data.data(), data.size())) {
            count = *n;
            status = count == data.size() ? proto::kChunkMore : proto::kChunkLast;
            if (status == proto::kChunkLast) temps_.remove(temp);
        }
    }
    const std::span<const std::uint8_t> chunk(data.data(), count);

    if (fetch) {
        Packet out(Opcode::RepFetchChunk);
        out.set(proto::RepFetchChunk::tag, request.get(proto::ReqFetchChunk::tag));
        out.set(proto::RepFetchChunk::status, status);
        out.set(proto::RepFetchChunk::path, path);
        out.set(proto::RepFetchChunk::tempPath, temp);
        out.set(proto::RepFetchChunk::count, static_cast<std::int64_t>(count));
        out.set(proto::RepFetchChunk::checksum, proto::chunkChecksum(chunk));
        out.set(proto::RepFetchChunk::data, chunk);
        return reply(slot, out);
    }
    Packet out(Opcode::RepViewChunk);
    out.set(proto::RepViewChunk::status, status);
    out.set(proto::RepViewChunk::path, path);
    out.set(proto::RepViewChunk::tempPath, temp);
    out.set(proto::RepViewChunk::count, static_cast<std::int64_t>(count));
    out.set(proto::RepViewChunk::checksum, proto::chunkChecksum(chunk));
    out.set(proto::RepViewChunk::data, chunk);
    reply(slot, out);
}

void Repository::closeCopy(int slot, const Packet& request) {
    // Both close requests carry the temp path at the same place.
    const std::string temp = request.get(proto::ReqViewClose::tempPath);
    if (temps_.owns(temp, server_.userNameOf(slot), TempFiles::Kind::Download)) {
        temps_.remove(temp);
    }
}

}  // namespace zelt::server
