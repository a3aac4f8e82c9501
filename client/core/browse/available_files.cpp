#include "client/core/browse/available_files.h"

#include <algorithm>

#include "client/core/ui/texts.h"
#include "common/limits.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;

std::vector<std::string> AvailableFiles::selectedPaths() const {
    std::vector<std::string> paths;
    for (int row : model_.selected)
        paths.push_back(model_.rows[static_cast<std::size_t>(row)].path);
    return paths;
}

void AvailableFiles::requestGroups() {
    link_.send(Packet(Opcode::ReqGroupList));
}

void AvailableFiles::onGroupList(const Packet& p) {
    console_.plain(text::YourGroupsHeader);
    groups_.clear();
    const std::size_t count = p.get(proto::RepGroupList::count);
    if (count == 0) console_.plain(text::NoGroups);
    for (std::size_t k = 0; k < std::min(count, proto::RepGroupList::kMaxNames); ++k) {
        const std::string name = p.get(proto::RepGroupList::names.at(k));
        if (name.empty()) continue;
        console_.function(name, tag::GroupFiles);
        groups_.push_back(name);
    }
    events_.ended(Flow::Groups);
}

void AvailableFiles::openGroup(const std::string& group) {
    if (link_.requireConnected()) requestFileList(group);
}

void AvailableFiles::requestFileList(const std::string& group) {
    console_.plain(std::string(text::RequestingFileList) + " '" + group + "'...");
    listGroup_.clear();
    fileList_.clear();
    if (link_.pipelined()) {
        // A group has at most 100 pages; a few are asked at once, and two more for every full
        // one that comes, so that a long list takes a handful of round trips and a short one
        // costs little beyond its end.
        stalePages_ += pagesInFlight_;
        pagesInFlight_ = 0;
        pagesGroup_ = group;
        nextStart_ = 0;
        listing_ = true;
        askPages(kFirstPages);
        return;
    }
    Packet p(Opcode::ReqFileList);
    p.set(proto::ReqFileList::groupName, group);
    p.set(proto::ReqFileList::start, 0);
    link_.send(p);
}

void AvailableFiles::askPages(int n) {
    constexpr auto kPage = static_cast<std::int32_t>(proto::RepFileList::kPageSize);
    for (; n > 0 && nextStart_ < static_cast<std::int32_t>(MaxMemberFiles); --n) {
        Packet p(Opcode::ReqFileList);
        p.set(proto::ReqFileList::groupName, pagesGroup_);
        p.set(proto::ReqFileList::start, nextStart_);
        link_.send(p);
        nextStart_ += kPage;
        ++pagesInFlight_;
    }
}

void AvailableFiles::onFileList(const Packet& p) {
    const bool inFlight = link_.pipelined();
    if (inFlight) {
        // Pages of a list given up for another, and pages past the end of this one.
        if (stalePages_ > 0) {
            --stalePages_;
            return;
        }
        if (pagesInFlight_ > 0) --pagesInFlight_;
        if (!listing_) return;
    }
    const int count = std::clamp(p.get(proto::RepFileList::count), 0,
                                 static_cast<int>(proto::RepFileList::kPageSize));
    for (int k = 0; k < count && fileList_.size() < MaxMemberFiles; ++k) {
        fileList_.push_back({p.get(proto::RepFileList::path.at(static_cast<std::size_t>(k))),
                             p.get(proto::RepFileList::holder.at(static_cast<std::size_t>(k)))});
    }
    listGroup_ = p.get(proto::RepFileList::groupName);
    // A group holds at most MaxMemberFiles files; a server that offers more pages than that
    // gets no further requests, and the list shows what fits.
    if (inFlight && p.get(proto::RepFileList::more) != 0 && fileList_.size() < MaxMemberFiles) {
        askPages(2);
        if (pagesInFlight_ > 0) return;
    } else if (p.get(proto::RepFileList::more) != 0 && fileList_.size() < MaxMemberFiles) {
        Packet next(Opcode::ReqFileList);
        next.set(proto::ReqFileList::groupName, listGroup_);
        next.set(proto::ReqFileList::start, static_cast<std::int32_t>(fileList_.size()));
        link_.send(next);
        return;
    }
    listing_ = false;
    console_.plain(text::Received);
    model_.exists = true;
    model_.visible = true;
    fill();
    events_.ended(Flow::FileList);
    lookUpCheckOutTimes();
}

void AvailableFiles::lookUpCheckOutTimes() {
    for (const AvailableFileRow& row : model_.rows) {
        if (row.holder.empty()) continue;
        Packet p(Opcode::ReqFileProperties);
        p.set(proto::ReqFileProperties::groupName, model_.groupLabel);
        p.set(proto::ReqFileProperties::path, row.path);
        link_.send(p);
    }
}

void AvailableFiles::onProperties(const Packet& p) {
    if (!model_.exists || p.get(proto::RepFileProperties::groupName) != model_.groupLabel) return;
    const std::string path = p.get(proto::RepFileProperties::path);
    bool changed = false;
    for (AvailableFileRow& row : model_.rows) {
        if (row.path != path) continue;
        row.holder = p.get(proto::RepFileProperties::holder);
        row.icon = row.holder.empty() ? IconFree : IconHeld;
        row.since = row.holder.empty() ? "" : p.get(proto::RepFileProperties::checkOutTime);
        changed = true;
    }
    if (changed) ui_.availableFilesChanged(model_);
}

void AvailableFiles::fill() {
    model_.rows.clear();
    model_.selected.clear();
    for (const Entry& entry : fileList_) {
        if (entry.path.empty()) continue;
        model_.rows.push_back(
            {entry.path, entry.holder, entry.holder.empty() ? IconFree : IconHeld, ""});
    }
    if (!listGroup_.empty()) model_.groupLabel = listGroup_;
    model_.countLabel = fileCountLabel(static_cast<int>(model_.rows.size()));
    update();
}

void AvailableFiles::update() {
    model_.buttons = availableFilesButtons(link_.connected(), model_.selected.size());
    ui_.availableFilesChanged(model_);
}

void AvailableFiles::connectionChanged() {
    if (!link_.connected()) {
        pagesInFlight_ = 0;
        stalePages_ = 0;
        listing_ = false;
    }
    if (model_.exists) update();
}

void AvailableFiles::select(std::vector<int> rows) {
    model_.selected = rowsWithin(std::move(rows), model_.rows.size());
    update();
}

void AvailableFiles::refresh() {
    if (model_.groupLabel.empty() || !link_.requireConnected()) return;
    requestFileList(model_.groupLabel);
}

void AvailableFiles::requestSelectedProperties() {
    if (model_.selected.size() != 1) return;
    properties_.request(model_.groupLabel,
                        model_.rows[static_cast<std::size_t>(model_.selected[0])].path);
}

void AvailableFiles::close() {
    model_.visible = false;
    ui_.availableFilesChanged(model_);
}

void AvailableFiles::destroy() {
    if (!model_.exists) return;
    model_ = AvailableFilesModel{};
    ui_.availableFilesChanged(model_);
}

}  // namespace zelt::client
