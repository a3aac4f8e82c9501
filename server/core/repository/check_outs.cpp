#include "server/core/repository/check_outs.h"

#include <optional>
#include <vector>

#include "common/protocol/layouts.h"
#include "server/core/store/member_files.h"
#include "server/core/store/names.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

void CheckOuts::onReqFileProperties(ConnectionId id, const Packet& request) {
    const std::string groupName = request.get(proto::ReqFileProperties::groupName);
    const std::string path = request.get(proto::ReqFileProperties::path);
    const GroupTable& groups = store_.groups();
    const int group = groupName.empty() ? -1 : groups.findByName(groupName);
    // Only a member learns anything about a group's files; disabled groups still answer.
    if (group < 0 || !groups.isMember(static_cast<std::size_t>(group), sessions_.userNameOf(id))) {
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
        return replies_.reply(id, out);
    }
}

void CheckOuts::onReqCheckOut(ConnectionId id, const Packet& request) {
    const std::string path = request.get(proto::ReqCheckOut::path);
    const std::string userName = sessions_.userNameOf(id);
    GroupTable& groups = store_.groups();

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
        out.set(proto::RepCheckOut::reason, text::FileNotFound);
        return replies_.reply(id, out);
    }
    if (held) {
        out.set(proto::RepCheckOut::reason,
                text::format(text::AlreadyCheckedOut, held->get(FileEntry::holder),
                             held->get(FileEntry::checkOutTime)));
        return replies_.reply(id, out);
    }

    const std::string time = formatMinuteStamp(clock_.localTime());
    for (proto::MutableView& entry : entries) {
        entry.set(FileEntry::checkedOut, 1);
        entry.set(FileEntry::holder, userName);
        entry.set(FileEntry::checkOutTime, time);
        store_.noteGroupChange(entry);
    }
    out.set(proto::RepCheckOut::status, proto::RepCheckOut::kCheckedOut);
    // A lock that is not on disk would not survive a restart, and another user could then take
    // it while this one edits: when the save fails the marks are taken back and refused.
    replies_.replyAfterSave(id, out, [entries, userName, time](Packet& failed) mutable {
        for (proto::MutableView& entry : entries) {
            if (entry.get(FileEntry::checkedOut) == 1 && entry.get(FileEntry::holder) == userName &&
                entry.get(FileEntry::checkOutTime) == time) {
                entry.set(FileEntry::checkedOut, 0);
                entry.set(FileEntry::holder, "");
                entry.set(FileEntry::checkOutTime, "");
            }
        }
        failed.set(proto::RepCheckOut::status, proto::RepCheckOut::kRefused);
        failed.set(proto::RepCheckOut::reason, text::CheckOutNotSaved);
    });
}

void CheckOuts::onReqVoidCheckOut(ConnectionId id, const Packet& request) {
    const std::string path = request.get(proto::ReqVoidCheckOut::path);
    Packet out(Opcode::RepVoidCheckOut);
    out.set(proto::RepVoidCheckOut::tag, request.get(proto::ReqVoidCheckOut::tag));
    out.set(proto::RepVoidCheckOut::path, path);
    // Only the holder's own lock is given up; someone else's stays as it is.
    if (release(path, sessions_.userNameOf(id))) {
        replies_.replyAfterSave(id, out);
    } else {
        replies_.reply(id, out);
    }
}

bool CheckOuts::release(std::string_view path, std::string_view userName) {
    bool released = false;
    forEachEnabledEntry(store_.groups(), path, [&](std::size_t, proto::MutableView entry) {
        if (entry.get(FileEntry::checkedOut) != 1 ||
            !equalsIgnoringCase(entry.get(FileEntry::holder), userName)) {
            return;
        }
        entry.set(FileEntry::checkedOut, 0);
        entry.set(FileEntry::holder, "");
        entry.set(FileEntry::checkOutTime, "");
        store_.noteGroupChange(entry);
        released = true;
    });
    return released;
}

bool CheckOuts::holds(std::string_view path, std::string_view userName) const {
    bool holds = false;
    forEachEnabledEntry(store_.groups(), path, [&](std::size_t, proto::ConstView entry) {
        holds = holds || (entry.get(FileEntry::checkedOut) == 1 &&
                          equalsIgnoringCase(entry.get(FileEntry::holder), userName));
    });
    return holds;
}

void CheckOuts::sendVoided(std::string_view userName, std::string_view path) {
    const ConnectionId id = sessions_.findByUserName(userName);
    if (id.slot < 0) return;
    Packet push(Opcode::PushCheckOutVoided);
    push.set(proto::PushCheckOutVoided::path, path);
    slots_.send(id, push.bytes());
}

}  // namespace zelt::server
