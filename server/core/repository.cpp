// Dispatch of the member-file requests, the replies that wait for the group table to reach
// disk, file properties, check-out and void, and the retention setting.
#include "server/core/repository.h"

#include <cstdio>

#include "common/protocol/layouts.h"
#include "server/core/member_files.h"
#include "server/core/names.h"
#include "server/core/server.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

namespace {

constexpr std::string_view kAlreadyCheckedOut = "Already checked-out by";
constexpr std::string_view kFileNotFound = "File not found.";
constexpr std::string_view kCheckOutNotSaved = "The server could not save the check-out.";
constexpr std::string_view kBackupChanged = "Backup properties changed.";
constexpr std::string_view kBackupNotSaved = "Failed to save the backup properties (Backup.zelt).";

}  // namespace

Repository::Repository(Server& server)
    : server_(server),
      versions_(server.paths().files, server.reactor().clock()),
      temps_(server.paths().temp) {}

Repository::~Repository() {
    server_.reactor().cancelDeferred(this);
}

void Repository::onRequest(int slot, Opcode opcode, std::span<const std::uint8_t> bytes) {
    const proto::OpcodeInfo* info = proto::findOpcode(static_cast<std::uint8_t>(opcode));
    if (info == nullptr) return;
    // Fields of a short request read as zeros, so every text ends inside its field.
    const Packet request = Packet::received(bytes, info->sent);
    switch (opcode) {
        case Opcode::ReqFileProperties:
            return fileProperties(slot, request);
        case Opcode::ReqCheckOut:
            return checkOut(slot, request);
        case Opcode::ReqVoidCheckOut:
            return voidCheckOut(slot, request);
        case Opcode::ReqViewOpen:
        case Opcode::ReqFetchOpen:
            return openCopy(slot, request);
        case Opcode::ReqViewChunk:
        case Opcode::ReqFetchChunk:
            return sendChunk(slot, request);
        case Opcode::ReqViewClose:
        case Opcode::ReqFetchClose:
            return closeCopy(slot, request);
        case Opcode::ReqCheckInChunk:
            return storeChunk(slot, request);
        case Opcode::ReqCheckInAbort:
            return abortUpload(slot, request);
        case Opcode::ReqCheckIn:
            return commit(slot, request);
        default:
            return;
    }
}

void Repository::sendCheckOutVoided(std::string_view userName, std::string_view path) {
    const int slot = server_.findSlotByUserName(userName);
    if (slot < 0) return;
    Packet push(Opcode::PushCheckOutVoided);
    push.set(proto::PushCheckOutVoided::path, path);
    server_.slots().send(slot, push.bytes());
}

// --- Replies -------------------------------------------------------------------------------

void Repository::reply(int slot, const Packet& packet) {
    for (const HeldReply& h : held_) {
        if (h.slot == slot) return hold(slot, packet, {});
    }
    server_.slots().send(slot, packet.bytes());
}

void Repository::replyAfterSave(int slot, const Packet& packet, SaveFailedFn onSaveFailed) {
    saveDue_ = true;
    hold(slot, packet, std::move(onSaveFailed));
}

void Repository::hold(int slot, const Packet& packet, SaveFailedFn onSaveFailed) {
    const auto bytes = packet.bytes();
    held_.push_back(HeldReply{slot,
                              server_.slots()[static_cast<std::size_t>(slot)].connection.get(),
                              {bytes.begin(), bytes.end()},
                              std::move(onSaveFailed)});
    // Every reply held in this turn shares the one save at its end.
    if (!saveDeferred_) {
        saveDeferred_ = true;
        server_.reactor().defer(this, [this] { saveAndSendHeld(); });
    }
}

void Repository::saveAndSendHeld() {
    saveDeferred_ = false;
    std::vector<HeldReply> held = std::move(held_);
    held_.clear();
    const bool saved = !saveDue_ || server_.saveGroups();
    saveDue_ = false;
    SlotTable& slots = server_.slots();
    for (HeldReply& h : held) {
        if (slots[static_cast<std::size_t>(h.slot)].connection.get() != h.connection) continue;
        if (!saved && h.onSaveFailed) {
            Packet packet = Packet::received(h.bytes, h.bytes.size());
            h.onSaveFailed(packet);
            slots.send(h.slot, packet.bytes());
        } else {
            slots.send(h.slot, h.bytes);
        }
    }
}

// --- File properties and check-out ---------------------------------------------------------

void Repository::fileProperties(int slot, const Packet& request) {
    const std::string groupName = request.get(proto::ReqFileProperties::groupName);
    const std::string path = request.get(proto::ReqFileProperties::path);
    const GroupTable& groups = server_.groups();
    const int group = groupName.empty() ? -1 : groups.findByName(groupName);
    // Only a member learns anything about a group's files; disabled groups still answer.
    if (group < 0 || !groups.isMember(static_cast<std::size_t>(group), server_.userNameOf(slot))) {
        return;
    }
    for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
        const auto entry = groups.fileEntry(static_cast<std::size_t>(group), k);
        if (!entryNames(entry, path)) continue;
        Packet out(Opcode::RepFileProperties);
        out.set(proto::RepFileProperties::groupName, groupName);
        out.set(proto::RepFileProperties::path, path);
        if (entry.get(FileEntry::checkedOut) == 1) {
            out.set(proto::RepFileProperties::holder, entry.get(FileEntry::holder));
            out.set(proto::RepFileProperties::checkOutTime, entry.get(FileEntry::checkOutTime));
        }
        out.set(proto::RepFileProperties::details, versions_.latestDetails(path));
        return reply(slot, out);
    }
}

void Repository::checkOut(int slot, const Packet& request) {
    const std::string path = request.get(proto::ReqCheckOut::path);
    const std::string userName = server_.userNameOf(slot);
    GroupTable& groups = server_.groups();

    // All or nothing: the file is one file in every group that holds it, so it is either locked
    // in all of them or in none.
    std::vector<proto::MutableView> entries;
    bool member = false;
    std::optional<proto::MutableView> held;
    forEachEnabledEntry(groups, path, [&](std::size_t group, proto::MutableView entry) {
        entries.push_back(entry);
        member = member || groups.isMember(group, userName);
        if (!held && entry.get(FileEntry::checkedOut) == 1) held = entry;
    });

    Packet out(Opcode::RepCheckOut);
    out.set(proto::RepCheckOut::tag, request.get(proto::ReqCheckOut::tag));
    out.set(proto::RepCheckOut::path, path);
    out.set(proto::RepCheckOut::status, proto::RepCheckOut::kRefused);
    if (entries.empty() || !member) {
        out.set(proto::RepCheckOut::reason, kFileNotFound);
        return reply(slot, out);
    }
    if (held) {
        char reason[200];
        std::snprintf(reason, sizeof reason, "%s '%s' at %s.", kAlreadyCheckedOut.data(),
                      held->get(FileEntry::holder).c_str(),
                      held->get(FileEntry::checkOutTime).c_str());
        out.set(proto::RepCheckOut::reason, reason);
        return reply(slot, out);
    }

    const std::string time = formatMinuteStamp(server_.reactor().clock().localTime());
    for (proto::MutableView& entry : entries) {
        entry.set(FileEntry::checkedOut, 1);
        entry.set(FileEntry::holder, userName);
        entry.set(FileEntry::checkOutTime, time);
    }
    out.set(proto::RepCheckOut::status, proto::RepCheckOut::kCheckedOut);
    // A lock that is not on disk would not survive a restart, and another user could then take
    // it while this one edits: when the save fails the marks are taken back and refused.
    replyAfterSave(slot, out, [entries, userName, time](Packet& failed) mutable {
        for (proto::MutableView& entry : entries) {
            if (entry.get(FileEntry::checkedOut) == 1 && entry.get(FileEntry::holder) == userName &&
                entry.get(FileEntry::checkOutTime) == time) {
                entry.set(FileEntry::checkedOut, 0);
                entry.set(FileEntry::holder, "");
                entry.set(FileEntry::checkOutTime, "");
            }
        }
        failed.set(proto::RepCheckOut::status, proto::RepCheckOut::kRefused);
        failed.set(proto::RepCheckOut::reason, kCheckOutNotSaved);
    });
}

void Repository::voidCheckOut(int slot, const Packet& request) {
    const std::string path = request.get(proto::ReqVoidCheckOut::path);
    Packet out(Opcode::RepVoidCheckOut);
    out.set(proto::RepVoidCheckOut::tag, request.get(proto::ReqVoidCheckOut::tag));
    out.set(proto::RepVoidCheckOut::path, path);
    // Only the holder's own lock is given up; someone else's stays as it is.
    if (releaseCheckOut(path, server_.userNameOf(slot))) {
        replyAfterSave(slot, out);
    } else {
        reply(slot, out);
    }
}

bool Repository::releaseCheckOut(std::string_view path, std::string_view userName) {
    bool released = false;
    forEachEnabledEntry(server_.groups(), path, [&](std::size_t, proto::MutableView entry) {
        if (entry.get(FileEntry::checkedOut) != 1 ||
            !equalsIgnoringCase(entry.get(FileEntry::holder), userName)) {
            return;
        }
        entry.set(FileEntry::checkedOut, 0);
        entry.set(FileEntry::holder, "");
        entry.set(FileEntry::checkOutTime, "");
        released = true;
    });
    return released;
}

bool Repository::holdsCheckOut(std::string_view path, std::string_view userName) const {
    bool holds = false;
    forEachEnabledEntry(server_.groups(), path, [&](std::size_t, proto::ConstView entry) {
        holds = holds || (entry.get(FileEntry::checkedOut) == 1 &&
                          equalsIgnoringCase(entry.get(FileEntry::holder), userName));
    });
    return holds;
}

// --- Retention -----------------------------------------------------------------------------

int Repository::retentionChoiceIndex() const {
    for (std::size_t i = 0; i < std::size(RetentionChoices); ++i) {
        if (RetentionChoices[i] == server_.retentionCount()) return static_cast<int>(i);
    }
    return -1;
}

bool Repository::setRetentionFromChoice(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < std::size(RetentionChoices)) {
        server_.setRetentionCount(RetentionChoices[index]);
    }
    if (!writeRetentionCount(server_.paths().backup, server_.retentionCount())) {
        server_.console().error(kBackupNotSaved);
        return false;
    }
    server_.console().plain(kBackupChanged);
    return true;
}

}  // namespace zelt::server
