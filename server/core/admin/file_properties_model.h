#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "server/core/admin/outcome.h"
#include "server/core/repository/check_outs.h"
#include "server/core/repository/version_store.h"
#include "server/core/store/store.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// One File Properties window as the window shows it: the groups that hold a member file, its
// holder, its kept versions with their details, and the two actions on it. The window draws these
// fields and calls the actions; everything is read afresh from the group table and the version
// folder on refresh().
class FilePropertiesModel {
public:
    FilePropertiesModel(Store& store, VersionStore& versions, CheckOuts& checkOuts, AdminUi& ui,
                        std::string path)
        : store_(store),
          versions_(versions),
          checkOuts_(checkOuts),
          ui_(ui),
          path_(std::move(path)) {}

    const std::string& path() const { return path_; }
    // The names of the groups holding the path, joined with ",".
    const std::string& groupsText() const { return groups_; }
    // The same names one by one, in table order.
    const std::vector<std::string>& groupNames() const { return groupNames_; }
    // The check-out holder and time in an enabled group; empty when the file is free.
    const std::string& holder() const { return holder_; }
    const std::string& checkOutTime() const { return checkOutTime_; }
    bool canVoid() const { return !holder_.empty(); }
    // The version stamps, oldest first, and the selected one (-1: none).
    const std::vector<std::string>& versions() const { return stamps_; }
    int selected() const { return selected_; }
    bool canSetLatest() const { return selected_ >= 0; }
    const std::string& detailsText() const { return details_; }

    // "Refresh", and what opening does: no version is selected afterwards.
    void refresh();
    // A change of selection in the versions list; -1 clears it (the details stay as they are).
    void select(int index);
    // "Void current check-out": frees the file in every group and tells its holder. False when
    // Groups.zelt could not take it (the marks stay, and the console says why).
    bool voidCheckOut();
    // "Set as the latest file": keeps the current content as a version by "admin", then puts
    // the selected version's content at the path; the outcome in a message box.
    void setAsLatest();
    // The same for the version of that stamp, without the message boxes: done with the
    // information text, or refused with the failure's text.
    Outcome setAsLatest(std::string_view stamp);

private:
    Store& store_;
    VersionStore& versions_;
    CheckOuts& checkOuts_;
    AdminUi& ui_;
    std::string path_;
    std::string groups_;
    std::vector<std::string> groupNames_;
    std::string holder_;
    std::string checkOutTime_;
    std::vector<std::string> stamps_;
    int selected_ = -1;
    std::string details_;
};

}  // namespace zelt::server
