#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/ui/form_check.h"

namespace zelt::server {

class GroupPropertiesModel;
class FilePropertiesModel;

// The content of one Group Properties dialog. The lists run top to bottom, as shown.
struct GroupForm {
    std::string name{};
    std::vector<std::string> users{};
    std::vector<std::string> files{};
    bool disabled = false;  // "Disable this group"
    bool remove = false;    // "Remove this group"; never offered for a new group
};

// What the file picker returned: full paths, or a folder and names inside it.
struct FilePick {
    std::vector<std::string> paths{};
    std::string folder{};
    std::vector<std::string> names{};
};

// The windows of group administration that the core asks its front end to open.
class GroupDialogs {
public:
    virtual ~GroupDialogs() = default;

    // Runs the modal Group Properties dialog on its model; the buttons call the model. On OK
    // the dialog runs check on the model's form: a refusal is shown in a message box and the
    // dialog stays open. Returns true when closed with an accepted OK, false on Cancel.
    virtual bool runGroupProperties(GroupPropertiesModel& model,
                                    const ui::FormCheck<GroupForm>& check) = 0;
    // The file picker titled "Select File" with the one filter "Files to be added to the group"
    // (all files), several existing files at once, opened in startFolder ("" for the default);
    // nothing when cancelled.
    virtual std::optional<FilePick> pickMemberFiles(const std::string& startFolder) = 0;
    // Shows a File Properties window drawing this model, at once and without waiting. The model
    // lives until GroupAdmin::closeFileProperties is called for it.
    virtual void showFileProperties(FilePropertiesModel& model) = 0;
    // A message box with the information icon, waited for.
    virtual void showInformation(const std::string& text) = 0;
};

}  // namespace zelt::server
