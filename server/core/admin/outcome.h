#pragma once

#include <string>
#include <utility>

namespace zelt::server {

// How a change the administrator asked for ended, whether a dialog or the admin command asked.
// A refusal carries the words the administrator is to see: the message box of a check that
// refused the form (not shown yet: a dialog's flow shows it, the command prints it), or an error
// line the console has already printed (a full table, a file that could not be saved).
struct Outcome {
    enum class Kind { Done, Refused, Failed };

    Kind kind = Kind::Done;
    // A refusal's reason; on success, what the dialog would show in an information box, if
    // anything.
    std::string text;

    static Outcome done(std::string information = {}) {
        return {Kind::Done, std::move(information)};
    }
    static Outcome refused(std::string messageBox) {
        return {Kind::Refused, std::move(messageBox)};
    }
    static Outcome failed(std::string errorLine) { return {Kind::Failed, std::move(errorLine)}; }

    explicit operator bool() const { return kind == Kind::Done; }
    // A check's refusal that the dialog's flow still has to show.
    bool needsMessageBox() const { return kind == Kind::Refused; }
};

}  // namespace zelt::server
