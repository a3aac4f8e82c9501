#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "server/core/admin/file_properties_model.h"
#include "server/core/admin/group_properties_model.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server::test {

// Plays the administrator in front of the server core: records everything the core asks of its
// front end, and answers each dialog with the next prepared answer. An answer whose OK the
// dialog's check refuses shows the message and the dialog stays open for the next answer; a
// dialog without answers left is cancelled, as is every dialog nobody prepared.
class ScriptedUi : public AdminUi {
public:
    using AccountStep = std::function<void(AccountForm&)>;
    // Works the Group Properties model; ok() presses OK (false: refused, the dialog stays) and
    // the script returns whether the dialog closed with an accepted OK.
    using GroupScript = std::function<bool(GroupPropertiesModel&, const std::function<bool()>& ok)>;

    // --- Account and Server menu dialogs ---------------------------------------------------
    bool editAccount(AccountForm& form, const ui::FormCheck<AccountForm>& check) override {
        openedAccounts.push_back(form);
        while (!accountSteps.empty()) {
            AccountForm edited = form;
            accountSteps.front()(edited);
            accountSteps.pop_front();
            if (auto refusal = check(edited)) {
                messages.push_back(*refusal);
                continue;
            }
            form = edited;
            return true;
        }
        return false;
    }
    bool searchAccount(std::string& keywords) override {
        searchPrefills.push_back(keywords);
        if (searches.empty()) return false;
        const auto next = searches.front();
        searches.pop_front();
        if (!next) return false;
        keywords = *next;
        return true;
    }
    std::optional<std::vector<std::string>> chooseUsers(UserListSource& source) override {
        ++userLists;
        if (userList) return userList(source);
        return next(userPicks, std::optional<std::vector<std::string>>{});
    }
    bool scheduleShutdown(ShutdownForm& form, const ui::FormCheck<ShutdownForm>& check) override {
        return runTexts(minuteEntries, form, form.minutes, check);
    }
    bool changePort(PortForm& form, const ui::FormCheck<PortForm>& check) override {
        openedPorts.push_back(form.port);
        return runTexts(portEntries, form, form.port, check);
    }
    bool editBackup(BackupForm& form) override {
        openedBackup = form;
        if (!backupChoice) return false;
        form.selected = *backupChoice;
        return true;
    }
    bool editNotice(NoticeForm& form) override {
        openedNotice = form;
        if (!notice) return false;
        form = *notice;
        return true;
    }

    // --- Group windows ---------------------------------------------------------------------
    bool runGroupProperties(GroupPropertiesModel& model,
                            const ui::FormCheck<GroupForm>& check) override {
        groupDialogs.push_back(model.editedGroup());
        opened.push_back(model.form());
        creating.push_back(model.creating());
        if (groupScripts.empty()) return false;
        GroupScript script = std::move(groupScripts.front());
        groupScripts.pop_front();
        const std::function<bool()> ok = [&] {
            if (auto refusal = check(model.form())) {
                messages.push_back(*refusal);
                return false;
            }
            return true;
        };
        return script(model, ok);
    }
    std::optional<FilePick> pickMemberFiles(const std::string& startFolder) override {
        pickerFolders.push_back(startFolder);
        return next(filePicks, std::optional<FilePick>{});
    }
    void showFileProperties(FilePropertiesModel& model) override {
        filePropertiesPaths.push_back(model.path());
        windows.push_back(&model);
    }
    void showInformation(const std::string& text) override { information.push_back(text); }

    // --- The rest --------------------------------------------------------------------------
    void showLegends() override { ++legends; }
    void alert() override { ++alerts; }
    void notifyAdministrator(const std::string& text) override { notifications.push_back(text); }
    void closeMainWindow() override { ++closeRequests; }
    void openSendMessage(const std::string& preset) override { sendMessageTo.push_back(preset); }
    void openAddress(const std::string& address) override { addresses.push_back(address); }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool askYesNo(const std::string& text) override {
        questions.push_back(text);
        return false;
    }
    void listeningChanged(bool listening) override { listeningStates.push_back(listening); }
    void startRefused(const std::string& reason) override { refusals.push_back(reason); }

    // Prepared answers.
    std::deque<AccountStep> accountSteps;
    std::deque<std::optional<std::string>> searches;
    std::function<std::optional<std::vector<std::string>>(UserListSource&)> userList;
    std::deque<std::optional<std::vector<std::string>>> userPicks;
    std::deque<std::string> minuteEntries;
    std::deque<std::string> portEntries;
    std::optional<int> backupChoice;
    std::optional<NoticeForm> notice;
    std::deque<GroupScript> groupScripts;
    std::deque<std::optional<FilePick>> filePicks;

    // What was asked.
    std::vector<AccountForm> openedAccounts;
    std::vector<std::string> searchPrefills;
    int userLists = 0;
    std::vector<std::string> openedPorts;
    BackupForm openedBackup;
    NoticeForm openedNotice;
    std::vector<int> groupDialogs;
    std::vector<GroupForm> opened;
    std::vector<bool> creating;
    std::vector<std::string> pickerFolders;
    std::vector<std::string> filePropertiesPaths;
    std::vector<FilePropertiesModel*> windows;
    std::vector<std::string> messages;
    std::vector<std::string> information;
    std::vector<std::string> questions;
    int legends = 0;
    int alerts = 0;
    std::vector<std::string> notifications;
    int closeRequests = 0;
    std::vector<std::string> sendMessageTo;
    std::vector<std::string> addresses;
    std::vector<bool> listeningStates;
    std::vector<std::string> refusals;

private:
    template <class T>
    static T next(std::deque<T>& queue, T otherwise) {
        if (queue.empty()) return otherwise;
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
    template <typename Form>
    bool runTexts(std::deque<std::string>& entries, Form& form, std::string& field,
                  const ui::FormCheck<Form>& check) {
        while (!entries.empty()) {
            const std::string saved = field;
            field = entries.front();
            entries.pop_front();
            if (auto refusal = check(form)) {
                messages.push_back(*refusal);
                field = saved;
                continue;
            }
            return true;
        }
        return false;
    }
};

}  // namespace zelt::server::test
