#include "server/core/group_admin.h"

#include <algorithm>
#include <cstdio>

#include "server/core/server.h"

namespace zelt::server {

namespace {

std::string quoted(std::string_view before, std::string_view name, std::string_view after) {
    return std::string(before) + "'" + std::string(name) + "'" + std::string(after);
}

}  // namespace

GroupAdmin::GroupAdmin(Server& server) : server_(server) {}

GroupAdmin::~GroupAdmin() = default;

void GroupAdmin::createGroup() {
    const int group = server_.groups().findFree();
    if (group < 0) {
        server_.console().error(GroupFullText);
        return;
    }
    const auto g = static_cast<std::size_t>(group);
    if (runDialog(GroupForm{}, g, true) != Outcome::Stored) return;
    const auto record = server_.groups().record(g);
    const bool enabled = record.get(GroupRecord::state) == StateEnabled;
    server_.console().plain(quoted("Group ", record.get(GroupRecord::name),
                                   enabled ? " created, enabled." : " created, disabled."));
}

void GroupAdmin::listGroups() {
    Console& console = server_.console();
    const GroupTable& groups = server_.groups();
    console.separator();
    console.plain("Group list:");
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (groups.inUse(g)) console.function(groups.record(g).get(GroupRecord::name), "EDTGRP");
    }
}

void GroupAdmin::editGroup(std::string_view name) {
    GroupTable& groups = server_.groups();
    const int found = groups.findByName(name);
    if (found < 0) return;
    const auto g = static_cast<std::size_t>(found);

    int users = 0;
    const AccountTable& accounts = server_.accounts();
    for (std::size_t k = 0; k < GroupRecord::members.count; ++k) {
        const std::string member = groups.record(g).get(GroupRecord::members.at(k));
        if (member.empty()) continue;
        const int account = accounts.findByUserName(member);
        if (account >= 0 &&
            accounts.record(static_cast<std::size_t>(account)).get(AccountRecord::connected) == 1) {
            ++users;
        }
    }
    int files = 0;
    for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
        if (groups.fileEntry(g, k).get(FileEntry::checkedOut) == 1) ++files;
    }
    if (users > 0 || files > 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "%d member user(s) connected, %d member file(s) checked out currently.",
                      users, files);
        server_.console().important(text);
        server_.console().important(
            "You are not safe to edit this group. To edit safely, shut down server first.");
    }

    const std::string oldName = groups.record(g).get(GroupRecord::name);
    switch (runDialog(formOf(groups, g), g, false)) {
        case Outcome::Removed:
            server_.console().plain(quoted("Group ", oldName, " removed."));
            break;
        case Outcome::Stored: {
            const auto record = groups.record(g);
            const bool enabled = record.get(GroupRecord::state) == StateEnabled;
            server_.console().plain(quoted("Group ", record.get(GroupRecord::name),
                                           enabled ? " changed, enabled." : " changed, disabled."));
            break;
        }
        case Outcome::Cancelled:
        case Outcome::NotSaved:
            break;
    }
}

GroupAdmin::Outcome GroupAdmin::runDialog(GroupForm form, std::size_t group, bool creating) {
    GroupPropertiesDialog dialog(*this, std::move(form), creating ? -1 : static_cast<int>(group));
    if (!server_.ui().runGroupProperties(dialog)) return Outcome::Cancelled;
    GroupTable& groups = server_.groups();
    // The window accepted the form with the same check; a form it should have refused is
    // not stored.
    if (checkGroupForm(dialog.form(), groups, dialog.editedGroup())) return Outcome::Cancelled;

    auto record = groups.record(group);
    const std::vector<std::uint8_t> before(record.bytes().begin(), record.bytes().end());
    const bool removing = !creating && dialog.form().remove;
    if (removing) {
        groups.clear(group);
    } else {
        storeGroupForm(dialog.form(), groups, group);
    }
    if (!server_.saveGroups()) {
        // Taken back, so that nothing seems done that a restart would undo.
        std::copy(before.begin(), before.end(), record.mutableBytes().begin());
        return Outcome::NotSaved;
    }
    return removing ? Outcome::Removed : Outcome::Stored;
}

void GroupAdmin::openFileProperties(std::string_view lineText) {
    const auto path = filePropertiesPath(lineText);
    // "group::" names no file.
    if (path && !path->empty()) openFilePropertiesFor(*path);
}

FilePropertiesWindow& GroupAdmin::openFilePropertiesFor(std::string_view path) {
    windows_.push_back(std::make_unique<FilePropertiesWindow>(
        *this, std::string(proto::capped(path, MaxMemberPathLength))));
    FilePropertiesWindow& window = *windows_.back();
    window.refresh();
    server_.ui().showFileProperties(window);
    return window;
}

void GroupAdmin::closeFileProperties(const FilePropertiesWindow* window) {
    std::erase_if(windows_, [&](const auto& w) { return w.get() == window; });
}

}  // namespace zelt::server
