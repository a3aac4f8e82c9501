#include "client/cli/terminal_ui.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "client/core/ui/texts.h"
#include "common/platform/terminal.h"

namespace zelt::cli {

using client::CommentReply;
using client::LoginForm;
using client::PasswordForm;

namespace {

std::optional<int> addressField(const std::string& text) {
    if (text.empty() || text.size() > 3) return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool isYes(std::string answer) {
    for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

}  // namespace

void parseServer(const std::string& text, LogInAnswers* answers) {
    std::string address = text;
    if (const std::size_t colon = text.find(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        answers->port = text.substr(colon + 1);
    }
    std::array<std::optional<int>, 4> fields{};
    std::size_t begin = 0;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        std::size_t end = address.find('.', begin);
        // A fifth field makes the last one unreadable, as four fields cannot hold it.
        if (k + 1 == fields.size()) end = address.size();
        if (end == std::string::npos) break;
        fields[k] = addressField(address.substr(begin, end - begin));
        begin = end + 1;
    }
    answers->address = fields;
}

TerminalUi::TerminalUi(const Clock& clock)
    : progress_(terminal::isTerminal(terminal::Stream::Error), clock) {}

bool TerminalUi::runLogin(LoginForm& form, const ui::FormCheck<LoginForm>& check) {
    logInAsked = true;
    // The dialog opens again after a failed attempt to show why. Nobody is there to type
    // anything new, so this is where the attempt ends.
    if (!form.status.empty()) {
        logInFailed = form.status;
        return false;
    }
    if (!logInWanted) return false;
    LoginForm typed = form;
    if (!answers.userName.empty()) typed.userName = answers.userName;
    if (answers.address) typed.address = *answers.address;
    if (answers.port) typed.port = *answers.port;
    // The password is asked for last, once everything else has passed the dialog's check.
    typed.password.clear();
    std::optional<std::string> refusal = check(typed);
    if (refusal && *refusal == client::text::EnterPassword && password) {
        const std::optional<std::string> given = password(typed.userName);
        if (!given) {
            gaveUp = true;
            return false;
        }
        typed.password = *given;
        refusal = check(typed);
    }
    if (refusal) {
        refusedInput = *refusal;
        return false;
    }
    logInPassword = typed.password;
    form = typed;
    return true;
}

bool TerminalUi::runAccountProperties(PasswordForm& form,
                                      const ui::FormCheck<PasswordForm>& check) {
    PasswordForm typed;
    typed.current = logInPassword;
    const std::optional<std::string> replacement = newPassword ? newPassword() : std::nullopt;
    const std::optional<std::string> again = replacement && retype ? retype() : std::nullopt;
    if (!replacement || !again) {
        gaveUp = true;
        return false;
    }
    typed.replacement = *replacement;
    typed.retype = *again;
    if (const std::optional<std::string> refusal = check(typed)) {
        refusedInput = *refusal;
        return false;
    }
    form = typed;
    return true;
}

CommentReply TerminalUi::runComment(const std::string&) {
    // One comment for every file of the command, as with "Apply this comment to the rest".
    return CommentReply{true, commentLines, true};
}

bool TerminalUi::askYesNo(const std::string& question) {
    if (yes) return true;
    if (terminal::isTerminal(terminal::Stream::Input)) {
        clearProgress();
        const std::optional<std::string> answer =
            terminal::readTyped(question + " [y/N] ", terminal::Echo::Shown);
        if (!answer) {
            gaveUp = true;
            return false;
        }
        if (isYes(*answer)) return true;
    }
    declined = true;
    return false;
}

void TerminalUi::messageBox(const std::string& text) {
    tell(text);
}

void TerminalUi::tell(const std::string& text) {
    clearProgress();
    std::fprintf(stderr, "zelt: %s\n", text.c_str());
    std::fflush(stderr);
    told_.push_back(text);
}

bool TerminalUi::told(const std::string& text) const {
    return std::find(told_.begin(), told_.end(), text) != told_.end();
}

void TerminalUi::alert(const std::string&) {
    if (!bell || !terminal::isTerminal(terminal::Stream::Error)) return;
    std::fputc('\a', stderr);
    std::fflush(stderr);
}

void TerminalUi::fileTransferChanged(const client::FileTransferModel& model) {
    progress_.update(model);
}

void TerminalUi::connectionStateChanged(client::ConnectionState changed) {
    state = changed;
}

}  // namespace zelt::cli
