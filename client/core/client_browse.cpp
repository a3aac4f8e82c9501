#include <algorithm>

#include "client/core/client_core.h"
#include "client/core/texts.h"
#include "common/protocol/layouts.h"

// The user's groups, a group's file list in the Available Files window, and one file's
// properties in the File Properties window.
namespace zelt::client {

using proto::Opcode;
using proto::Packet;

void ClientCore::onGroupList(const Packet& p) {
    console_.plain(text::YourGroupsHeader);
    const std::size_t count = p.get(proto::RepGroupList::count);
    if (count == 0) {
        console_.plain(text::NoGroups);
        return;
    }
    for (std::size_t k = 0; k < std::min(count, proto::RepGroupList::kMaxNames); ++k) {
        const std::string name = p.get(proto::RepGroupList::names.at(k));
        if (!name.empty()) console_.function(name, tag::GroupFiles);
    }
}

void ClientCore::requestFileList(const std::string& group) {
    console_.plain(std::string(text::RequestingFileList) + " '" + group + "'...");
    listGroup_.clear();
    fileList_.clear();
    Packet p(Opcode::ReqFileList);
    p.set(proto::ReqFileList::groupName, group);
    p.set(proto::ReqFileList::start, 0);
    send(p);
}

void ClientCore::onFileList(const Packet& p) {
    const int count = std::clamp(p.get(proto::RepFileList::count), 0,
                                 static_cast<int>(proto::RepFileList::kPageSize));
    for (int k = 0; k < count && fileList_.size() < MaxMemberFiles; ++k) {
        fileList_.push_back({p.get(proto::RepFileList::path.at(static_cast<std::size_t>(k))),
                             p.get(proto::RepFileList::holder.at(static_cast<std::size_t>(k)))});
    }
    listGroup_ = p.get(proto::RepFileList::groupName);
    // A group holds at most MaxMemberFiles files; a server that offers more pages than that
    // gets no further requests, and the list shows what fits.
    if (p.get(proto::RepFileList::more) != 0 && fileList_.size() < MaxMemberFiles) {
        Packet next(Opcode::ReqFileList);
        next.set(proto::ReqFileList::groupName, listGroup_);
        next.set(proto::ReqFileList::start, static_cast<std::int32_t>(fileList_.size()));
        send(next);
        return;
    }
    console_.plain(text::Received);
    available_.exists = true;
    available_.visible = true;
    fillAvailableFiles();
}

void ClientCore::fillAvailableFiles() {
    available_.rows.clear();
    available_.selected.clear();
    for (const FileListEntry& entry : fileList_) {
        if (entry.path.empty()) continue;
        available_.rows.push_back(
            {entry.path, entry.holder, entry.holder.empty() ? IconFree : IconHeld});
    }
    if (!listGroup_.empty()) available_.groupLabel = listGroup_;
    available_.countLabel = fileCountLabel(static_cast<int>(available_.rows.size()));
    availableFilesUpdated();
}

void ClientCore::availableFilesUpdated() {
    available_.buttons =
        availableFilesButtons(state_ == ConnectionState::Connected, available_.selected.size());
    ui_.availableFilesChanged(available_);
}

void ClientCore::selectAvailableFiles(std::vector<int> rows) {
    available_.selected = rowsWithin(std::move(rows), available_.rows.size());
    availableFilesUpdated();
}

void ClientCore::refreshAvailableFiles() {
    if (available_.groupLabel.empty() || !requireConnected()) return;
    requestFileList(available_.groupLabel);
}

void ClientCore::requestSelectedProperties() {
    if (available_.selected.size() != 1) return;
    requestProperties(available_.groupLabel,
                      available_.rows[static_cast<std::size_t>(available_.selected[0])].path);
}

void ClientCore::closeAvailableFiles() {
    available_.visible = false;
    ui_.availableFilesChanged(available_);
}

void ClientCore::requestProperties(const std::string& group, const std::string& path) {
    if (group.empty() || path.empty()) return;
    Packet p(Opcode::ReqFileProperties);
    p.set(proto::ReqFileProperties::groupName, group);
    p.set(proto::ReqFileProperties::path, path);
    send(p);
}

void ClientCore::onFileProperties(const Packet& p) {
    lastProperties_.assign(p.bytes().begin(), p.bytes().end());
    properties_.exists = true;
    properties_.visible = true;
    fillFileProperties();
}

void ClientCore::fillFileProperties() {
    const proto::ConstView v{lastProperties_};
    properties_.groupName = v.get(proto::RepFileProperties::groupName);
    properties_.path = v.get(proto::RepFileProperties::path);
    properties_.holder = v.get(proto::RepFileProperties::holder);
    properties_.checkOutTime = v.get(proto::RepFileProperties::checkOutTime);
    properties_.sendMessage = !properties_.holder.empty();
    const proto::ConstView details =
        v.sub(proto::RepFileProperties::details.offset, proto::DetailRecord::kSize);
    const std::string time = details.get(proto::DetailRecord::time);
    if (time.empty()) {
        properties_.details = std::string(text::NoFileDetails);
    } else {
        properties_.details =
            time + "\r\n" + details.get(proto::DetailRecord::userName) + "\r\n\r\n" +
            toCrLf(details.get(proto::DetailRecord::comment), proto::DetailRecord::kMaxComment);
    }
    ui_.filePropertiesChanged(properties_);
}

void ClientCore::refreshFileProperties() {
    requestProperties(properties_.groupName, properties_.path);
}

void ClientCore::viewFile() {
    startView(properties_.path);
}

void ClientCore::messageHolder() {
    if (!properties_.holder.empty()) ui_.openSendMessage(properties_.holder);
}

void ClientCore::closeFileProperties() {
    properties_.visible = false;
    ui_.filePropertiesChanged(properties_);
}

}  // namespace zelt::client
