// Check-in: the upload of a new content in chunks into Temp, and its commit as the latest
// version of a member file with a kept version and details.
#include "common/platform/files.h"
#include "common/protocol/layouts.h"
#include "server/core/names.h"
#include "server/core/repository.h"
#include "server/core/server.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

namespace {

constexpr std::string_view kNotCheckedOutByYou = "File is not checked-out by you.";
constexpr std::string_view kOriginalBackupFailed =
    "Failed to create a backup of the original file.";
constexpr std::string_view kOverwriteFailed = "Failed to overwrite the latest file with new file.";
constexpr std::string_view kNewBackupFailed = "Failed to create a backup of the new file.";
constexpr std::string_view kOriginalComment = "This is a backup file of the original file.";

}  // namespace

void Repository::storeChunk(int slot, const Packet& request) {
    const std::string userName = server_.userNameOf(slot);
    const std::string name = request.get(proto::ReqCheckInChunk::uploadName);
    const std::int64_t offset = request.get(proto::ReqCheckInChunk::offset);
    const std::int64_t count = request.get(proto::ReqCheckInChunk::count);

    Packet out(Opcode::RepCheckInChunk);
    out.set(proto::RepCheckInChunk::tag, request.get(proto::ReqCheckInChunk::tag));
    out.set(proto::RepCheckInChunk::nextOffset, -1);
    if (count < 0 || count > static_cast<std::int64_t>(proto::ChunkSize) ||
        !TempFiles::isUploadNameOf(name, userName)) {
        return reply(slot, out);
    }
    const auto data =
        request.get(proto::ReqCheckInChunk::data).first(static_cast<std::size_t>(count));
    if (proto::chunkChecksum(data) != request.get(proto::ReqCheckInChunk::checksum)) {
        out.set(proto::RepCheckInChunk::nextOffset, offset);
        return reply(slot, out);
    }

    const std::string path =
        offset == 0 ? temps_.beginUpload(userName, name) : temps_.uploadPath(userName, name);
    files::OpenFile* file = temps_.use(path, userName, TempFiles::Kind::Upload);
    // The chunk goes where its offset says, so a chunk sent twice cannot be stored twice.
    if (file == nullptr || !file->writeAt(offset, data.data(), data.size())) {
        return reply(slot, out);
    }
    out.set(proto::RepCheckInChunk::done, request.get(proto::ReqCheckInChunk::last));
    out.set(proto::RepCheckInChunk::nextOffset, offset + count);
    reply(slot, out);
}

void Repository::abortUpload(int slot, const Packet& request) {
    const std::string userName = server_.userNameOf(slot);
    const std::string path =
        temps_.uploadPath(userName, request.get(proto::ReqCheckInAbort::uploadName));
    if (!path.empty() && temps_.owns(path, userName, TempFiles::Kind::Upload)) temps_.remove(path);
}

void Repository::commit(int slot, const Packet& request) {
    const std::string path = request.get(proto::ReqCheckIn::path);
    // The name in the packet is only what the client believes; the account is who commits.
    const std::string userName = server_.userNameOf(slot);
    const std::string upload =
        temps_.uploadPath(userName, request.get(proto::ReqCheckIn::uploadName));
    const bool ownUpload =
        !upload.empty() && temps_.owns(upload, userName, TempFiles::Kind::Upload);

    std::string_view reason;
    if (!holdsCheckOut(path, userName)) {
        reason = kNotCheckedOutByYou;
    } else if (!ownUpload || !files::isFile(upload)) {
        reason = kOverwriteFailed;
    } else {
        reason = checkIn(path, upload, userName, request.get(proto::ReqCheckIn::comment));
    }
    // A failed commit needs a new upload anyway.
    if (ownUpload) temps_.remove(upload);

    Packet out(Opcode::RepCheckIn);
    out.set(proto::RepCheckIn::tag, request.get(proto::ReqCheckIn::tag));
    if (!reason.empty()) {
        out.set(proto::RepCheckIn::status, proto::RepCheckIn::kFailed);
        out.set(proto::RepCheckIn::reason, reason);
        return reply(slot, out);
    }
    releaseCheckOut(path, userName);
    versions_.prune(path, server_.retentionCount());
    out.set(proto::RepCheckIn::status, proto::RepCheckIn::kCheckedIn);
    replyAfterSave(slot, out);
}

std::string_view Repository::checkIn(const std::string& path, const std::string& upload,
                                     const std::string& userName, const std::string& comment) {
    const std::string folder = versions_.folderOf(path);
    const files::FolderResult made = files::createFolder(folder);
    // Without a version folder no version can be kept, and overwriting the file would lose it.
    if (made == files::FolderResult::Failed) return kOriginalBackupFailed;
    // A new folder means the file was never checked in: its present content is kept first. A
    // file that does not exist yet has nothing to keep.
    if (made == files::FolderResult::Created && files::isFile(path) &&
        !versions_.makeVersion(path, path, ReservedUserName, kOriginalComment)) {
        // Removing the folder again makes the next commit try the backup again, instead of
        // taking the original for kept.
        (void)files::removeFolder(folder);
        return kOriginalBackupFailed;
    }
    if (!files::replaceWithCopy(upload, path)) return kOverwriteFailed;
    if (!versions_.makeVersion(path, upload, userName, comment)) return kNewBackupFailed;
    return {};
}

}  // namespace zelt::server
