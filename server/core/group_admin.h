#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/core/file_properties.h"
#include "server/core/group_properties.h"

namespace zelt::server {

class Server;

// The administrator's work on groups: creating, listing, editing and removing them through the
// Group Properties dialog, and the File Properties windows of member files. Every accepted change
// is on disk before its console line; a change that cannot be saved is taken back and reported.
class GroupAdmin {
public:
    explicit GroupAdmin(Server& server);
    ~GroupAdmin();
    GroupAdmin(const GroupAdmin&) = delete;
    GroupAdmin& operator=(const GroupAdmin&) = delete;

    // CRTGRP: a new group in the first free record.
    void createGroup();
    // DSPGRP: the group list, one EDTGRP line per group.
    void listGroups();
    // EDTGRP: the Group Properties of the named group (letter case ignored).
    void editGroup(std::string_view name);
    // FILEPROP: a File Properties window for the path the line names.
    void openFileProperties(std::string_view lineText);

    // A File Properties window for a path (at most 255 characters), shown at once.
    FilePropertiesWindow& openFilePropertiesFor(std::string_view path);
    // The front end closed a File Properties window; its model goes.
    void closeFileProperties(const FilePropertiesWindow* window);
    std::size_t openWindowCount() const { return windows_.size(); }

    Server& server() { return server_; }
    // The folder the file picker opens in: where the last picked file was.
    const std::string& pickerFolder() const { return pickerFolder_; }
    void setPickerFolder(std::string folder) { pickerFolder_ = std::move(folder); }

private:
    // Runs the dialog and stores an accepted form; whether the group table then holds it.
    enum class Outcome { Cancelled, Stored, Removed, NotSaved };
    Outcome runDialog(GroupForm form, std::size_t group, bool creating);

    Server& server_;
    std::vector<std::unique_ptr<FilePropertiesWindow>> windows_;
    std::string pickerFolder_;
};

}  // namespace zelt::server
