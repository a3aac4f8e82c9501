#include "server/core/admin/settings_admin.h"

#include "server/core/admin/number_forms.h"
#include "server/core/admin/status_displays.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

void SettingsAdmin::communicationProperties() {
    if (communication_.listening()) {
        showServerReady();
    } else {
        // A server that no longer listens is not ready at any address; the port can still be
        // changed for the next start.
        console_.separator();
        console_.important(text::CommunicationIsClosed);
    }
    console_.function(text::ChangePortLine, tag::ChangePort);
}

void SettingsAdmin::showServerReady() {
    server::showServerReady(console_, hostAddress_, settings_.port);
}

void SettingsAdmin::askAndChangePort() {
    PortForm form;
    form.port = std::to_string(settings_.port);
    if (!ui_.changePort(form, checkPortForm)) return;
    const Outcome outcome = changePort(form);
    if (outcome.needsMessageBox()) ui_.showMessage(outcome.text);
}

Outcome SettingsAdmin::changePort(const PortForm& form) {
    if (auto refusal = checkPortForm(form)) return Outcome::refused(*refusal);
    if (!changePort(*parsePort(form.port))) return Outcome::failed(std::string(text::PortNotSaved));
    return Outcome::done();
}

bool SettingsAdmin::changePort(int newPort) {
    if (newPort == settings_.port) {
        console_.plain(text::PortNotChanged);
        return true;
    }
    settings_.port = newPort;
    if (!writePort(paths_.comm, settings_.port)) {
        console_.error(text::PortNotSaved);
        return false;
    }
    console_.important(text::PortChanged);
    return true;
}

void SettingsAdmin::backupProperties() {
    BackupForm form;
    for (const int choice : RetentionChoices) form.choices.push_back(std::to_string(choice));
    form.selected = retentionChoiceIndex();
    if (!ui_.editBackup(form)) return;
    setRetentionFromChoice(form.selected);
}

int SettingsAdmin::retentionChoiceIndex() const {
    for (std::size_t i = 0; i < std::size(RetentionChoices); ++i) {
        if (RetentionChoices[i] == settings_.retentionCount) return static_cast<int>(i);
    }
    return -1;
}

bool SettingsAdmin::setRetentionFromChoice(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < std::size(RetentionChoices)) {
        settings_.retentionCount = RetentionChoices[index];
    }
    if (!writeRetentionCount(paths_.backup, settings_.retentionCount)) {
        console_.error(text::BackupNotSaved);
        return false;
    }
    console_.plain(text::BackupChanged);
    return true;
}

}  // namespace zelt::server
