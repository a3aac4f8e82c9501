#pragma once

#include <algorithm>
#include <deque>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "client/core/ui/client_ui.h"
#include "client/core/ui/flow_events.h"

namespace zelt::client::test {

// Windows that answer from a script and remember what they were shown. A dialog with no
// answer left is cancelled.
class FakeUi : public ClientUi {
public:
    // Each scripted entry is typed into the dialog and OK pressed; an entry the check refuses
    // leaves its message box and the dialog open for the next one. nullopt presses Cancel.
    bool runLogin(LoginForm& form, const ui::FormCheck<LoginForm>& check) override {
        loginsShown.push_back(form);
        return runChecked(logins, form, check, [](LoginForm& typed, const LoginForm& answer) {
            typed.userName = answer.userName;
            typed.password = answer.password;
            typed.address = answer.address;
            typed.port = answer.port;
        });
    }
    bool runAccountProperties(PasswordForm& form,
                              const ui::FormCheck<PasswordForm>& check) override {
        return runChecked(passwords, form, check,
                          [](PasswordForm& typed, const PasswordForm& answer) { typed = answer; });
    }
    CommentReply runComment(const std::string& path) override {
        commentPaths.push_back(path);
        if (comments.empty()) return {};
        CommentReply reply = comments.front();
        comments.pop_front();
        return reply;
    }
    bool askYesNo(const std::string& question) override {
        questions.push_back(question);
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void messageBox(const std::string& text) override { boxes.push_back(text); }
    void alert(const std::string& soundFile) override {
        ++alerts;
        lastSound = soundFile;
    }
    void notify(const std::string& text) override { notices.push_back(text); }
    void showLegends() override { ++legends; }
    void openSendMessage(const std::string& recipient) override {
        sendMessageWindows.push_back(recipient);
    }
    void availableFilesChanged(const AvailableFilesModel& model) override { available = model; }
    void filePropertiesChanged(const FilePropertiesModel& model) override { properties = model; }
    void fileTransferChanged(const FileTransferModel& model) override {
        transfer = model;
        ++transferUpdates;
    }
    void workingFilesChanged(const WorkingFilesModel& model) override { working = model; }
    void connectionStateChanged(ConnectionState state) override { states.push_back(state); }
    void closeMainWindow() override { closed = true; }

    std::deque<std::optional<LoginForm>> logins;
    std::vector<LoginForm> loginsShown;
    std::deque<std::optional<PasswordForm>> passwords;
    std::deque<CommentReply> comments;
    std::vector<std::string> commentPaths;
    std::deque<bool> answers;
    std::vector<std::string> questions;
    std::vector<std::string> boxes;
    int alerts = 0;
    std::string lastSound;
    std::vector<std::string> notices;  // desktop notifications
    int legends = 0;
    std::vector<std::string> sendMessageWindows;
    AvailableFilesModel available;
    FilePropertiesModel properties;
    FileTransferModel transfer;
    int transferUpdates = 0;
    WorkingFilesModel working;
    std::vector<ConnectionState> states;
    bool closed = false;

private:
    template <typename Form, typename Type>
    bool runChecked(std::deque<std::optional<Form>>& script, Form& form,
                    const ui::FormCheck<Form>& check, Type type) {
        while (!script.empty() && script.front()) {
            Form typed = form;
            type(typed, *script.front());
            script.pop_front();
            if (const std::optional<std::string> refusal = check(typed)) {
                boxes.push_back(*refusal);
                continue;
            }
            form = typed;
            return true;
        }
        if (!script.empty()) script.pop_front();
        return false;
    }
};

// What the core told of its flows, in order.
class FlowLog : public FlowObserver {
public:
    void itemSettled(const FlowItem& item) override { items.push_back(item); }
    void flowEnded(Flow flow) override { ended.push_back(flow); }
    void pushReceived(const ServerPush& push) override { pushes.push_back(push); }

    std::vector<FlowItem> itemsOf(Flow flow) const {
        std::vector<FlowItem> out;
        std::copy_if(items.begin(), items.end(), std::back_inserter(out),
                     [flow](const FlowItem& item) { return item.flow == flow; });
        return out;
    }
    // The items of one flow, as (path, outcome) pairs.
    std::vector<std::pair<std::string, Outcome>> outcomes(Flow flow) const {
        std::vector<std::pair<std::string, Outcome>> out;
        for (const FlowItem& item : itemsOf(flow)) out.emplace_back(item.path, item.outcome);
        return out;
    }
    int endsOf(Flow flow) const {
        return static_cast<int>(std::count(ended.begin(), ended.end(), flow));
    }
    const FlowItem* last(Flow flow) const {
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            if (it->flow == flow) return &*it;
        }
        return nullptr;
    }

    std::vector<FlowItem> items;
    std::vector<Flow> ended;
    std::vector<ServerPush> pushes;
};

}  // namespace zelt::client::test
