#include "server/core/repository/check_ins.h"

#include <memory>
#include <utility>

#include "common/platform/files.h"
#include "common/protocol/layouts.h"
#include "server/core/repository/leftovers.h"
#include "server/core/store/names.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

void CheckIns::onReqCheckInChunk(ConnectionId id, const Packet& request) {
    const std::string userName = sessions_.userNameOf(id);
    const std::string name = request.get(proto::ReqCheckInChunk::uploadName);
    const std::int64_t offset = request.get(proto::ReqCheckInChunk::offset);
    const std::int64_t count = request.get(proto::ReqCheckInChunk::count);

    Packet out(Opcode::RepCheckInChunk);
    out.set(proto::RepCheckInChunk::tag, request.get(proto::ReqCheckInChunk::tag));
    out.set(proto::RepCheckInChunk::nextOffset, -1);
    if (count < 0 || count > static_cast<std::int64_t>(proto::ChunkSize) ||
        !TempFiles::isUploadNameOf(name, userName)) {
        return replies_.reply(id, out);
    }
    const auto data =
        request.get(proto::ReqCheckInChunk::data).first(static_cast<std::size_t>(count));
    if (proto::chunkChecksum(data) != request.get(proto::ReqCheckInChunk::checksum)) {
        out.set(proto::RepCheckInChunk::nextOffset, offset);
        return replies_.reply(id, out);
    }

    // A client with chunks in flight may send one again after later ones were stored: for it a
    // chunk neither starts the upload afresh nor cuts what lies beyond it, and it waits for every
    // acknowledgement before it commits.
    const bool inFlight = sessions_.pipelines(id, proto::kPipelineUploads);
    const bool fresh = offset == 0 && !(inFlight && temps_.owns(temps_.uploadPath(userName, name),
                                                                userName, TempFiles::Kind::Upload));
    const std::string path =
        fresh ? temps_.beginUpload(userName, name, id) : temps_.uploadPath(userName, name);
    files::OpenFile* file = temps_.use(path, userName, TempFiles::Kind::Upload);
    // The chunk goes where its offset says, so a chunk sent twice cannot be stored twice. An
    // upload past the account's bound or into the disk's reserve is refused like a failed write.
    if (file == nullptr || !temps_.growUpload(path, offset + count, inFlight) ||
        !(inFlight ? file->writeInPlace(offset, data.data(), data.size())
                   : file->writeAt(offset, data.data(), data.size()))) {
        return replies_.reply(id, out);
    }
    out.set(proto::RepCheckInChunk::done, request.get(proto::ReqCheckInChunk::last));
    out.set(proto::RepCheckInChunk::nextOffset, offset + count);
    replies_.reply(id, out);
}

void CheckIns::onReqCheckInAbort(ConnectionId id, const Packet& request) {
    const std::string userName = sessions_.userNameOf(id);
    const std::string path =
        temps_.uploadPath(userName, request.get(proto::ReqCheckInAbort::uploadName));
    if (!path.empty() && temps_.owns(path, userName, TempFiles::Kind::Upload)) temps_.remove(path);
}

void CheckIns::onReqCheckIn(ConnectionId id, const Packet& request) {
    const std::string path = request.get(proto::ReqCheckIn::path);
    // The name in the packet is only what the client believes; the account is who commits.
    const std::string userName = sessions_.userNameOf(id);
    const std::string upload =
        temps_.uploadPath(userName, request.get(proto::ReqCheckIn::uploadName));
    const bool ownUpload =
        !upload.empty() && temps_.owns(upload, userName, TempFiles::Kind::Upload);

    Packet out(Opcode::RepCheckIn);
    out.set(proto::RepCheckIn::tag, request.get(proto::ReqCheckIn::tag));
    std::string_view refusal;
    if (!checkOuts_.holds(path, userName)) {
        refusal = text::NotCheckedOutByYou;
    } else if (!ownUpload || !files::isFile(upload)) {
        refusal = text::OverwriteFailed;
    }
    if (!refusal.empty()) {
        // A failed commit needs a new upload anyway.
        if (ownUpload) temps_.remove(upload);
        return answer(id, std::move(out), path, userName, refusal);
    }

    // The copies of a large file take seconds: they are made off the loop's thread. The upload
    // is the commit's from here on, so that a connection closing meanwhile cannot take it away.
    temps_.detach(upload);
    // What an earlier commit of this file left when the server was killed in the middle. Here,
    // not on the copying thread: an administrator's replacement of the file, which runs on
    // this thread, must not lose its own half-written copy to it.
    removeLeftoversOf(versions_, path);
    Commit commit{path, upload,
                  versions_.planVersion(path, ReservedUserName, text::OriginalComment),
                  versions_.planVersion(path, userName, request.get(proto::ReqCheckIn::comment)),
                  retentionCount_};
    auto reason = std::make_shared<std::string_view>();
    work_.run(
        id,
        [&versions = std::as_const(versions_), commit = std::move(commit), reason] {
            *reason = checkIn(versions, commit);
            files::discardFile(commit.upload);
            if (reason->empty()) versions.prune(commit.path, commit.retention);
        },
        [this, id, out = std::move(out), path, userName, reason]() mutable {
            answer(id, std::move(out), path, userName, *reason);
        });
}

void CheckIns::answer(ConnectionId id, Packet out, const std::string& path,
                      const std::string& userName, std::string_view reason) {
    if (!reason.empty()) {
        out.set(proto::RepCheckIn::status, proto::RepCheckIn::kFailed);
        out.set(proto::RepCheckIn::reason, reason);
        return replies_.reply(id, out);
    }
    // Also when the connection went while the commit was made: the file holds the new
    // content, so the check-out is over.
    checkOuts_.release(path, userName);
    out.set(proto::RepCheckIn::status, proto::RepCheckIn::kCheckedIn);
    replies_.replyAfterSave(id, out);
}

namespace {

// Why the file at path may not be replaced; "" for a plain file (also one reached through a
// symbolic link) and for a file that does not exist yet. Checked before anything is written, so
// that a refused commit leaves no version folder or version behind.
std::string_view notReplaceable(const std::string& path) {
    switch (files::kindOf(path, true)) {
        case files::FileKind::Missing:
        case files::FileKind::Regular:
        case files::FileKind::Link:  // not reported when links are followed
            return {};
        case files::FileKind::Folder:
            return text::LatestIsFolder;
        case files::FileKind::Fifo:
            return text::LatestIsFifo;
        case files::FileKind::Socket:
            return text::LatestIsSocket;
        case files::FileKind::BrokenLink:
            return text::LatestIsBrokenLink;
        case files::FileKind::Device:
        case files::FileKind::Other:
            break;
    }
    return text::LatestIsDevice;
}

}  // namespace

std::string_view CheckIns::checkIn(const VersionStore& versions, const Commit& commit) {
    const std::string& path = commit.path;
    if (const std::string_view refusal = notReplaceable(path); !refusal.empty()) return refusal;
    const std::string folder = versions.folderOf(path);
    const files::FolderResult made = files::createFolder(folder);
    // Without a version folder no version can be kept, and overwriting the file would lose it.
    if (made == files::FolderResult::Failed) return text::OriginalBackupFailed;
    // A new folder means the file was never checked in: its present content is kept first. A
    // file that does not exist yet has nothing to keep.
    if (made == files::FolderResult::Created && files::isFile(path) &&
        !VersionStore::keepVersion(commit.original, path)) {
        // Removing the folder again makes the next commit try the backup again, instead of
        // taking the original for kept.
        (void)files::removeFolder(folder);
        return text::OriginalBackupFailed;
    }
    if (!files::replaceWithCopy(commit.upload, path)) return text::OverwriteFailed;
    if (!VersionStore::keepVersion(commit.latest, commit.upload)) return text::NewBackupFailed;
    return {};
}

}  // namespace zelt::server
