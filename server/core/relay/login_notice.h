#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.h"
#include "server/core/session/slot_table.h"
#include "server/core/store/settings_files.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// The lines of a multi-line text field, split at CR LF or a lone LF.
std::vector<std::string> splitEditLines(std::string_view text);
// Whether the Notice Properties field may hold this text. It is counted as it will be stored,
// each line with one line feed whether the field shows CR LF or LF, and the empty lines at the
// end not at all, so that whatever the field holds is kept whole on OK.
bool noticeFitsField(std::string_view fieldText);

// The log-in notice: sent to each client that asks after logging in, edited in the Notice
// Properties window and kept in Notice.zelt.
class LoginNotice {
public:
    LoginNotice(Console& console, AdminUi& ui, SlotTable& slots, NoticeSetting& notice,
                const ServerPaths& paths)
        : console_(console), ui_(ui), slots_(slots), notice_(notice), paths_(paths) {}

    void onReqNotice(ConnectionId id);

    // Server > Notice Properties: the window, then the notice as it leaves it.
    void editProperties();
    // What OK in Notice Properties does with form: the notice stored and written, then its
    // line. False (with an error line) when Notice.zelt could not be written.
    bool accept(const NoticeForm& form);
    // Stores the notice as the Notice Properties window leaves it and writes Notice.zelt.
    // With send off the stored text is kept as it was. False (with an error line) when
    // Notice.zelt could not be written.
    bool set(bool send, const std::vector<std::string>& editedLines);
    // The stored text as the window shows it: line feeds as CR LF, at most 1024 characters.
    std::string textForEditing() const;
    const NoticeSetting& setting() const { return notice_; }

private:
    Console& console_;
    AdminUi& ui_;
    SlotTable& slots_;
    NoticeSetting& notice_;
    const ServerPaths& paths_;
};

}  // namespace zelt::server
