#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "client/core/client_ui.h"

namespace zelt::client::test {

// Windows that answer from a script and remember what they were shown. A dialog with no
// answer left is cancelled.
class FakeUi : public ClientUi {
public:
    bool runLogin(LoginForm& form) override {
        loginsShown.push_back(form);
        if (logins.empty() || !logins.front()) {
            if (!logins.empty()) logins.pop_front();
            return false;
        }
        const LoginForm answer = *logins.front();
        logins.pop_front();
        form.userName = answer.userName;
        form.password = answer.password;
        form.address = answer.address;
        form.port = answer.port;
        return true;
    }
    bool runAccountProperties(PasswordForm& form) override {
        if (passwords.empty()) return false;
        const std::optional<PasswordForm> answer = passwords.front();
        passwords.pop_front();
        if (!answer) return false;
        form = *answer;
        return true;
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
    int legends = 0;
    std::vector<std::string> sendMessageWindows;
    AvailableFilesModel available;
    FilePropertiesModel properties;
    FileTransferModel transfer;
    int transferUpdates = 0;
    WorkingFilesModel working;
    std::vector<ConnectionState> states;
    bool closed = false;
};

}  // namespace zelt::client::test
