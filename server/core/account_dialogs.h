#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The dialogs of account administration and of the Server menu, as the core sees them: plain
// structs in and out. A front end shows the dialog filled from the struct; on OK it runs the
// check it was handed, shows the returned text in a message box and keeps the dialog open, or
// writes the entries back into the struct and returns true.
namespace zelt::server {

// A check run on OK: the message-box text of the first refusal, or nothing when accepted.
template <typename Form>
using FormCheck = std::function<std::optional<std::string>(const Form&)>;

// Account Properties. For a new account removeEnabled and disconnectEnabled are false and
// every field is empty; for an existing one the password is shown unscrambled in both
// password edits.
struct AccountForm {
    std::string userName;  // at most 50 characters
    std::string password;  // at most 20
    std::string retype;    // at most 20
    std::string name;      // at most 30
    std::string dept;      // at most 30
    std::string email;     // at most 50
    std::string phone;     // at most 30
    std::string misc;      // at most 30
    bool disable = false;
    bool remove = false;
    bool disconnect = false;
    bool removeEnabled = false;
    bool disconnectEnabled = false;
};

// One row of the User List: user name, name and dept of an account in use.
struct UserListRow {
    std::string userName;
    std::string name;
    std::string dept;
};

// What the User List dialog works on: its rows, and its "&Create" button, which opens Account
// Properties for a new account and answers the row of the account made (nothing when the
// table is full or the administrator cancelled). The rows are refilled after a creation.
class UserListSource {
public:
    virtual ~UserListSource() = default;
    virtual std::vector<UserListRow> rows() const = 0;
    virtual std::optional<std::size_t> create() = 0;
};

// Shut Down Schedule: the combo box text, preset to "5".
struct ShutdownForm {
    std::string minutes = "5";
};

// Change Communication Port: the edit text (at most 5 characters), preset to the current port.
struct PortForm {
    std::string port;
};

// Backup Properties: the drop-down list of retention choices and the selected entry (-1: none).
struct BackupForm {
    std::vector<std::string> choices;
    int selected = -1;
};

// Notice Properties: the check box and the text field's content, lines separated by CR LF.
struct NoticeForm {
    bool send = false;
    std::string text;  // at most 1024 characters
};

class AccountDialogs {
public:
    virtual ~AccountDialogs() = default;

    // Account Properties; true on OK with the form as accepted.
    virtual bool editAccount(AccountForm& form, const FormCheck<AccountForm>& check) {
        (void)form;
        (void)check;
        return false;
    }
    // Search Account: keywords arrive prefilled with the last ones (at most 30 characters).
    virtual bool searchAccount(std::string& keywords) {
        (void)keywords;
        return false;
    }
    // User List: the user names of the selected rows, top to bottom, on "&Add"; nothing on
    // Cancel or when "&Add" found no row selected.
    virtual std::optional<std::vector<std::string>> chooseUsers(UserListSource& source) {
        (void)source;
        return std::nullopt;
    }
    virtual bool scheduleShutdown(ShutdownForm& form, const FormCheck<ShutdownForm>& check) {
        (void)form;
        (void)check;
        return false;
    }
    virtual bool changePort(PortForm& form, const FormCheck<PortForm>& check) {
        (void)form;
        (void)check;
        return false;
    }
    virtual bool editBackup(BackupForm& form) {
        (void)form;
        return false;
    }
    virtual bool editNotice(NoticeForm& form) {
        (void)form;
        return false;
    }
};

}  // namespace zelt::server
