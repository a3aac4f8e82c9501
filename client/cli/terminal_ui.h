#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "client/cli/progress.h"
#include "client/core/ui/client_ui.h"

namespace zelt::cli {

// What the command line says the Log-in dialog should hold; what it leaves out comes from
// Comm.zelt, as the dialog fills itself.
struct LogInAnswers {
    std::string userName;
    // From --server: the four address fields (a field that is not a number is left blank,
    // so the dialog's own check refuses it) and the port as typed.
    std::optional<std::array<std::optional<int>, 4>> address;
    std::optional<std::string> port;
};

// Reads --server's ADDRESS[:PORT] into answers.
void parseServer(const std::string& text, LogInAnswers* answers);

// The client's windows on a terminal. The Log-in dialog is answered from the command line
// and the password source, the Comment dialog from -m or -F, the Yes/No question from --yes
// or a prompt; message boxes go to standard error and the File Transfer window becomes a
// progress bar. Tool windows have nothing to draw: the command reads their models.
class TerminalUi final : public client::ClientUi {
public:
    // A source of a secret: the text, or nothing when the user gave up.
    using Secret = std::function<std::optional<std::string>()>;

    explicit TerminalUi(const Clock& clock);

    // --- set by the command before the core asks ---
    bool logInWanted = false;
    LogInAnswers answers;
    // The password of the user name about to log in.
    std::function<std::optional<std::string>(const std::string& userName)> password;
    // Passwd: the new password and its retype.
    Secret newPassword;
    Secret retype;
    std::vector<std::string> commentLines;
    // The Yes/No question: true answers yes without asking, else a prompt on a terminal.
    bool yes = false;
    // The alert beeps on the terminal (while watching).
    bool bell = false;

    // --- what the dialogs came to ---
    bool logInAsked = false;                  // the start-up has run and opened the Log-in dialog
    std::string logInPassword;                // the password the log-in was tried with
    std::optional<std::string> logInFailed;   // the reason, as the dialog would show it
    std::optional<std::string> refusedInput;  // a dialog's check refused what was given
    bool gaveUp = false;                      // a prompt was left with Ctrl+C or Ctrl+D
    bool declined = false;                    // the Yes/No question was answered no
    client::ConnectionState state = client::ConnectionState::NotConnected;
    // "zelt: <text>" on standard error, clear of the progress line.
    void tell(const std::string& text);
    // Whether text is on standard error already (a message box, an error line of the
    // console), so that a failure is not told twice.
    bool told(const std::string& text) const;

    bool runLogin(client::LoginForm& form, const ui::FormCheck<client::LoginForm>& check) override;
    bool runAccountProperties(client::PasswordForm& form,
                              const ui::FormCheck<client::PasswordForm>& check) override;
    client::CommentReply runComment(const std::string& path) override;
    bool askYesNo(const std::string& question) override;
    void messageBox(const std::string& text) override;
    void alert(const std::string& soundFile) override;
    void showLegends() override {}
    void openSendMessage(const std::string&) override {}
    void availableFilesChanged(const client::AvailableFilesModel&) override {}
    void filePropertiesChanged(const client::FilePropertiesModel&) override {}
    void fileTransferChanged(const client::FileTransferModel& model) override;
    void workingFilesChanged(const client::WorkingFilesModel&) override {}
    void connectionStateChanged(client::ConnectionState state) override;
    void closeMainWindow() override {}
    // What a desktop shows as a notification, watch already prints as it arrives.
    void notify(const std::string&) override {}

    // Wipes the progress line before anything else is written to standard error.
    void clearProgress() { progress_.clear(); }

private:
    ProgressBar progress_;
    std::vector<std::string> told_;
};

}  // namespace zelt::cli
