#pragma once

#include <optional>
#include <string>
#include <vector>

#include "server/core/group_form.h"

namespace zelt::server {

class GroupPropertiesDialog;
class FilePropertiesWindow;

// The windows of group administration that the core asks its front end to open. The defaults
// answer as a user who cancels everything would.
class GroupDialogs {
public:
    virtual ~GroupDialogs() = default;

    // Runs the modal Group Properties dialog on its model; the buttons call the model. Returns
    // true when it was closed with OK and the model's accept() agreed, false on Cancel.
    virtual bool runGroupProperties(GroupPropertiesDialog& dialog) {
        (void)dialog;
        return false;
    }
    // The file picker titled "Select File" with the one filter "Files to be added to the group"
    // (all files), several existing files at once, opened in startFolder ("" for the default);
    // nothing when cancelled.
    virtual std::optional<FilePick> pickMemberFiles(const std::string& startFolder) {
        (void)startFolder;
        return std::nullopt;
    }
    // Shows a File Properties window drawing this model, at once and without waiting. The model
    // lives until GroupAdmin::closeFileProperties is called for it.
    virtual void showFileProperties(FilePropertiesWindow& window) { (void)window; }
    // A message box with the information icon, waited for.
    virtual void showInformation(const std::string& text) { (void)text; }
};

}  // namespace zelt::server
