#include "server/core/repository/transfers.h"

#include <array>
#include <memory>
#include <optional>

#include "common/platform/files.h"
#include "common/protocol/layouts.h"
#include "server/core/store/member_files.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

namespace {

// The view and fetch families differ only in the fetch's request tag and so in their offsets;
// one handler serves both through these descriptors.
struct OpenLayout {
    Opcode answer;
    proto::Text requestPath, path, tempPath;
    proto::Int64 size;
};
constexpr OpenLayout kViewOpen{Opcode::RepViewOpen, proto::ReqViewOpen::path,
                               proto::RepViewOpen::path, proto::RepViewOpen::tempPath,
                               proto::RepViewOpen::size};
constexpr OpenLayout kFetchOpen{Opcode::RepFetchOpen, proto::ReqFetchOpen::path,
                                proto::RepFetchOpen::path, proto::RepFetchOpen::tempPath,
                                proto::RepFetchOpen::size};

struct ChunkLayout {
    Opcode answer;
    proto::Text requestPath, requestTempPath;
    proto::Int64 offset;
    proto::Int32 status;
    proto::Text path, tempPath;
    proto::Int64 count;
    proto::Byte checksum;
    proto::Bytes data;
};
constexpr ChunkLayout kViewChunk{Opcode::RepViewChunk,          proto::ReqViewChunk::path,
                                 proto::ReqViewChunk::tempPath, proto::ReqViewChunk::offset,
                                 proto::RepViewChunk::status,   proto::RepViewChunk::path,
                                 proto::RepViewChunk::tempPath, proto::RepViewChunk::count,
                                 proto::RepViewChunk::checksum, proto::RepViewChunk::data};
constexpr ChunkLayout kFetchChunk{Opcode::RepFetchChunk,          proto::ReqFetchChunk::path,
                                  proto::ReqFetchChunk::tempPath, proto::ReqFetchChunk::offset,
                                  proto::RepFetchChunk::status,   proto::RepFetchChunk::path,
                                  proto::RepFetchChunk::tempPath, proto::RepFetchChunk::count,
                                  proto::RepFetchChunk::checksum, proto::RepFetchChunk::data};

// The fetch family returns the request tag at offset 2 of every answer.
void copyTag(const Packet& request, Packet& answer) {
    if (answer.opcode() == Opcode::RepFetchOpen || answer.opcode() == Opcode::RepFetchChunk) {
        answer.set(proto::RepFetchOpen::tag, request.get(proto::ReqFetchOpen::tag));
    }
}

}  // namespace

bool Transfers::mayRead(std::string_view path, std::string_view userName) const {
    bool allowed = false;
    const GroupTable& groups = store_.groups();
    forEachEnabledEntry(groups, path, [&](std::size_t group, proto::ConstView) {
        allowed = allowed || groups.isMember(group, userName);
    });
    return allowed;
}

void Transfers::openCopy(ConnectionId id, const Packet& request) {
    const OpenLayout& layout = request.opcode() == Opcode::ReqFetchOpen ? kFetchOpen : kViewOpen;
    const std::string path = request.get(layout.requestPath);
    const std::string userName = sessions_.userNameOf(id);

    Packet out(layout.answer);
    copyTag(request, out);
    out.set(layout.path, path);
    out.set(layout.tempPath, "");
    out.set(layout.size, 0);
    // Any other path gets the answer of a copy that failed: the server hands out its members'
    // files to their groups, not whatever file a client names.
    const auto fileSize =
        mayRead(path, userName) && files::isFile(path) ? files::fileSize(path) : std::nullopt;
    // A copy that would eat into the disk's reserve is refused like one that failed.
    const std::string temp =
        fileSize ? temps_.createDownload(userName, static_cast<std::uint64_t>(*fileSize), id) : "";
    if (temp.empty()) return replies_.reply(id, out);

    auto size = std::make_shared<std::optional<std::int64_t>>();
    auto copy = [path, temp, size] {
        // Into the very file just made, never through a link put in its place meanwhile. The
        // size is of what will be served, even if the file changed while it was copied.
        if (files::copyIntoOwnFile(path, temp)) *size = files::fileSize(temp).value_or(0);
    };
    auto answer = [this, id, out = std::move(out), layout, temp, userName, size]() mutable {
        // The copy may have gone meanwhile, with its connection or to make room for another
        // of the account's.
        if (*size && temps_.owns(temp, userName, TempFiles::Kind::Download)) {
            out.set(layout.tempPath, temp);
            out.set(layout.size, **size);
        } else {
            temps_.remove(temp);
        }
        replies_.reply(id, out);
    };
    // A small file is copied at once, in about a millisecond, rather than wait behind another
    // user's copy of gigabytes; a large one takes seconds, off the loop's thread.
    if (*fileSize <= CopyAtOnceBytes) {
        copy();
        return answer();
    }
    work_.run(id, std::move(copy), std::move(answer));
}

void Transfers::sendChunk(ConnectionId id, const Packet& request) {
    const ChunkLayout& layout =
        request.opcode() == Opcode::ReqFetchChunk ? kFetchChunk : kViewChunk;
    const std::string temp = request.get(layout.requestTempPath);

    std::array<std::uint8_t, proto::ChunkSize> data{};
    std::int32_t status = proto::kChunkError;
    std::size_t count = 0;
    // Only a copy made for this very account is read: a temp path is no way into the disk.
    if (files::OpenFile* copy =
            temps_.use(temp, sessions_.userNameOf(id), TempFiles::Kind::Download)) {
        if (const auto n = copy->readAt(request.get(layout.offset), data.data(), data.size())) {
            count = *n;
            status = count == data.size() ? proto::kChunkMore : proto::kChunkLast;
            if (status == proto::kChunkLast) temps_.remove(temp);
        }
    }
    const std::span<const std::uint8_t> chunk(data.data(), count);

    Packet out(layout.answer);
    copyTag(request, out);
    out.set(layout.status, status);
    out.set(layout.path, request.get(layout.requestPath));
    out.set(layout.tempPath, temp);
    out.set(layout.count, static_cast<std::int64_t>(count));
    out.set(layout.checksum, proto::chunkChecksum(chunk));
    out.set(layout.data, chunk);
    replies_.reply(id, out);
}

void Transfers::closeCopy(ConnectionId id, const Packet& request) {
    // Both close requests carry the temp path at the same place.
    const std::string temp = request.get(proto::ReqViewClose::tempPath);
    if (temps_.owns(temp, sessions_.userNameOf(id), TempFiles::Kind::Download)) {
        temps_.remove(temp);
    }
}

}  // namespace zelt::server
