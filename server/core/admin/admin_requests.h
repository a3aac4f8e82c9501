#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/console/console.h"
#include "common/platform/clock.h"
#include "server/core/admin/account_admin.h"
#include "server/core/admin/file_properties_model.h"
#include "server/core/admin/group_admin.h"
#include "server/core/admin/outcome.h"
#include "server/core/admin/server_commands.h"
#include "server/core/admin/settings_admin.h"
#include "server/core/relay/login_notice.h"
#include "server/core/relay/message_relay.h"
#include "server/core/relay/shutdown_schedule.h"
#include "server/core/repository/check_outs.h"
#include "server/core/repository/version_store.h"
#include "server/core/session/slot_table.h"
#include "server/core/store/settings_files.h"
#include "server/core/store/store.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// What the admin command asks of the server (the requests of admin_protocol.h), carried out
// through the same flows and checks as the window's dialogs, as if the administrator had filled
// in the dialog and pressed OK. Each answer carries the console lines its action appended.
class AdminRequests {
public:
    struct Units {
        const Clock& clock;
        // Only for File Properties models; the command never opens their windows.
        AdminUi& ui;
        Store& store;
        SlotTable& slots;
        ServerSettings& settings;
        AccountAdmin& accounts;
        GroupAdmin& groups;
        SettingsAdmin& settingsAdmin;
        ShutdownSchedule& shutdown;
        LoginNotice& notice;
        MessageRelay& messages;
        ServerCommands& commands;
        VersionStore& versions;
        CheckOuts& checkOuts;
    };

    AdminRequests(Console& console, const Units& units) : console_(console), units_(units) {}

    // One request line in, its answer line out (neither with its line feed).
    std::string answer(std::string_view request);
    // The answer to a request that is not understood.
    static std::string errorAnswer(std::string_view reason);

    // One request being carried out: its arguments, and what it shows.
    struct Call {
        const nlohmann::json& args;
        nlohmann::json data;
    };
    using Handler = Outcome (AdminRequests::*)(Call& call);

private:
    Outcome status(Call& call);
    Outcome sessions(Call& call);
    Outcome checkouts(Call& call);
    Outcome accountAdd(Call& call);
    Outcome accountSet(Call& call);
    Outcome accountRemove(Call& call);
    Outcome accountDisconnect(Call& call);
    Outcome accountList(Call& call);
    Outcome accountSearch(Call& call);
    Outcome groupAdd(Call& call);
    Outcome groupSet(Call& call);
    Outcome groupRemove(Call& call);
    Outcome groupList(Call& call);
    Outcome groupShow(Call& call);
    Outcome groupUsers(Call& call);
    Outcome groupFiles(Call& call);
    Outcome fileShow(Call& call);
    Outcome fileVoid(Call& call);
    Outcome fileRestore(Call& call);
    Outcome noticeShow(Call& call);
    Outcome noticeSet(Call& call);
    Outcome backupShow(Call& call);
    Outcome backupSet(Call& call);
    Outcome portShow(Call& call);
    Outcome portSet(Call& call);
    Outcome shutdownIn(Call& call);
    Outcome shutdownCancel(Call& call);
    Outcome shutdownNow(Call& call);
    Outcome send(Call& call);

    // The record of the named account, or nothing.
    std::optional<std::size_t> accountIndex(std::string_view userName) const;
    // The File Properties model of a path, as a window would open for it. A path longer than a
    // member file's is refused before, rather than cut: cut, it would name another file.
    FilePropertiesModel fileModel(const std::string& path);
    // Runs the Group Properties flow of an existing group with the form that edit makes of the
    // group's present one; edit may refuse before anything is shown.
    Outcome editGroup(std::string_view name,
                      const std::function<std::optional<std::string>(GroupForm&)>& edit);

    Console& console_;
    Units units_;
};

}  // namespace zelt::server
