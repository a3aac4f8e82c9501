#pragma once

#include <string>

#include "common/console/console.h"
#include "server/core/admin/outcome.h"
#include "server/core/session/communication.h"
#include "server/core/store/settings_files.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// The settings the administrator changes from the Server menu and its console lines: the port
// for the next start and the number of versions kept per file. Each is written to its file
// before the console says it changed.
class SettingsAdmin {
public:
    // hostAddress is the address the ready line shows, as the start-up found it.
    SettingsAdmin(Console& console, AdminUi& ui, ServerSettings& settings, const ServerPaths& paths,
                  const std::string& hostAddress, const Communication& communication)
        : console_(console),
          ui_(ui),
          settings_(settings),
          paths_(paths),
          hostAddress_(hostAddress),
          communication_(communication) {}

    // The ready line (with the configured port), or that communication is closed, and the
    // CHGPORT line.
    void communicationProperties();
    // The separator and "Server is ready at ..." line.
    void showServerReady();

    // CHGPORT: the Change Communication Port dialog, then the port it leaves.
    void askAndChangePort();
    // What OK in that dialog does with form: its check, then the port taken.
    Outcome changePort(const PortForm& form);
    // Takes a new port for the next start; writes Comm.zelt when it changed. False (with an
    // error line) when Comm.zelt could not be written.
    bool changePort(int newPort);

    // Server > Backup Properties: the dialog, then the choice it leaves.
    void backupProperties();
    // The index in RetentionChoices of the current count (-1 when it is none of them).
    int retentionChoiceIndex() const;
    // Takes a choice on OK. An index outside the choices keeps the count; either way the count
    // is written to Backup.zelt and "Backup properties changed." is shown, or an error line
    // when the file cannot be written (then false).
    bool setRetentionFromChoice(int index);

private:
    Console& console_;
    AdminUi& ui_;
    ServerSettings& settings_;
    const ServerPaths& paths_;
    const std::string& hostAddress_;
    const Communication& communication_;
};

}  // namespace zelt::server
