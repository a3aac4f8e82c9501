#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/ui/form_check.h"
#include "server/core/ui/texts.h"

// The dialogs of account administration and of the Server menu, as the core sees them: plain
// structs in and out. A front end shows the dialog filled from the struct; on OK it runs the
// check it was handed, shows the returned text in a message box and keeps the dialog open, or
// writes the entries back into the struct and returns true.
namespace zelt::server {

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

// How many characters each Account Properties edit takes: what its record field holds.
struct AccountFieldLimits {
    static constexpr std::size_t userName = 50;
    static constexpr std::size_t password = 20;
    static constexpr std::size_t name = 30;
    static constexpr std::size_t dept = 30;
    static constexpr std::size_t email = 50;
    static constexpr std::size_t phone = 30;
    static constexpr std::size_t misc = 30;
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

// "&Add" closes the User List with the chosen users only while a row is selected.
inline bool canAddChosenUsers(std::size_t selectedRows) {
    return selectedRows > 0;
}

// Shut Down Schedule: the combo box text, preset to "5".
struct ShutdownForm {
    std::string minutes{text::DefaultMinutes};
};

// Change Communication Port: the edit text (at most 5 characters), preset to the current port.
struct PortForm {
    std::string port;
};
inline constexpr std::size_t MaxPortEntry = 5;

// Backup Properties: the drop-down list of retention choices and the selected entry (-1: none).
struct BackupForm {
    std::vector<std::string> choices;
    int selected = -1;
};

// Notice Properties: the check box and the text field's content, lines separated by CR LF.
struct NoticeForm {
    bool send = false;
    std::string text;  // at most 1024 characters as stored
};
// The text field takes input only while the notice is to be sent.
inline bool noticeTextEditable(const NoticeForm& form) {
    return form.send;
}

// The modal dialogs of accounts and of the Server menu; each returns true on an accepted OK.
class AccountDialogs {
public:
    virtual ~AccountDialogs() = default;

    // Account Properties.
    virtual bool editAccount(AccountForm& form, const ui::FormCheck<AccountForm>& check) = 0;
    // Search Account: keywords arrive prefilled with the last ones (at most 30 characters).
    virtual bool searchAccount(std::string& keywords) = 0;
    // User List: the user names of the selected rows, top to bottom, on "&Add"; nothing on
    // Cancel or when "&Add" found no row selected.
    virtual std::optional<std::vector<std::string>> chooseUsers(UserListSource& source) = 0;
    virtual bool scheduleShutdown(ShutdownForm& form, const ui::FormCheck<ShutdownForm>& check) = 0;
    virtual bool changePort(PortForm& form, const ui::FormCheck<PortForm>& check) = 0;
    virtual bool editBackup(BackupForm& form) = 0;
    virtual bool editNotice(NoticeForm& form) = 0;
};

}  // namespace zelt::server
