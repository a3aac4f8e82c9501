#include "server/core/admin/admin_requests.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/platform/files.h"
#include "common/ui/shared_windows.h"
#include "server/core/admin/account_form.h"
#include "server/core/admin/admin_args.h"
#include "server/core/admin/admin_protocol.h"
#include "server/core/admin/file_properties_model.h"
#include "server/core/admin/group_form.h"
#include "server/core/admin/old_check_outs.h"
#include "server/core/admin/status_displays.h"
#include "server/core/store/names.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

using nlohmann::json;
namespace ap = adminproto;
using namespace adminargs;

namespace {

// Collects the console lines appended while it lives.
class LineCapture final : public ConsoleObserver {
public:
    explicit LineCapture(Console& console) : console_(console) { console_.addObserver(this); }
    ~LineCapture() override { console_.removeObserver(this); }
    LineCapture(const LineCapture&) = delete;
    LineCapture& operator=(const LineCapture&) = delete;

    void lineAppended(const ConsoleLine& line, std::size_t) override { lines.push_back(line); }
    void cleared() override {}

    std::vector<ConsoleLine> lines;

private:
    Console& console_;
};

std::string dump(const json& document) {
    // Names and paths are bytes; any that are not UTF-8 are shown with replacement marks.
    return document.dump(-1, ' ', false, json::error_handler_t::replace);
}

json answerOf(std::string_view status, std::string_view reason) {
    json out = json::object();
    out[ap::field::Version] = ap::Version;
    out[ap::field::Status] = status;
    if (!reason.empty()) out[ap::field::Reason] = reason;
    return out;
}

Outcome refusal(std::string text) {
    return Outcome::refused(std::move(text));
}

}  // namespace

std::string AdminRequests::errorAnswer(std::string_view reason) {
    return dump(answerOf(ap::status::Error, reason));
}

std::string AdminRequests::answer(std::string_view request) {
    static constexpr struct {
        std::string_view name;
        Handler run;
    } kCommands[] = {
        {ap::command::Status, &AdminRequests::status},
        {ap::command::Sessions, &AdminRequests::sessions},
        {ap::command::Checkouts, &AdminRequests::checkouts},
        {ap::command::AccountAdd, &AdminRequests::accountAdd},
        {ap::command::AccountSet, &AdminRequests::accountSet},
        {ap::command::AccountRemove, &AdminRequests::accountRemove},
        {ap::command::AccountDisconnect, &AdminRequests::accountDisconnect},
        {ap::command::AccountList, &AdminRequests::accountList},
        {ap::command::AccountSearch, &AdminRequests::accountSearch},
        {ap::command::GroupAdd, &AdminRequests::groupAdd},
        {ap::command::GroupSet, &AdminRequests::groupSet},
        {ap::command::GroupRemove, &AdminRequests::groupRemove},
        {ap::command::GroupList, &AdminRequests::groupList},
        {ap::command::GroupShow, &AdminRequests::groupShow},
        {ap::command::GroupUsers, &AdminRequests::groupUsers},
        {ap::command::GroupFiles, &AdminRequests::groupFiles},
        {ap::command::FileShow, &AdminRequests::fileShow},
        {ap::command::FileVoid, &AdminRequests::fileVoid},
        {ap::command::FileRestore, &AdminRequests::fileRestore},
        {ap::command::NoticeShow, &AdminRequests::noticeShow},
        {ap::command::NoticeSet, &AdminRequests::noticeSet},
        {ap::command::BackupShow, &AdminRequests::backupShow},
        {ap::command::BackupSet, &AdminRequests::backupSet},
        {ap::command::PortShow, &AdminRequests::portShow},
        {ap::command::PortSet, &AdminRequests::portSet},
        {ap::command::Shutdown, &AdminRequests::shutdownIn},
        {ap::command::ShutdownCancel, &AdminRequests::shutdownCancel},
        {ap::command::ShutdownNow, &AdminRequests::shutdownNow},
        {ap::command::Send, &AdminRequests::send},
    };

    try {
        const json parsed = json::parse(request);
        if (!parsed.is_object()) return errorAnswer("a request is a JSON object");
        const json& version = member(parsed, ap::field::Version);
        if (!version.is_number_integer() || version.get<long long>() != ap::Version) {
            return errorAnswer(
                text::format("this server speaks version %d of the requests", ap::Version));
        }
        const json& name = member(parsed, ap::field::Command);
        if (!name.is_string()) return errorAnswer("the request names no command");
        const auto* found =
            std::find_if(std::begin(kCommands), std::end(kCommands),
                         [&](const auto& c) { return c.name == name.get<std::string>(); });
        if (found == std::end(kCommands)) {
            return errorAnswer("unknown command \"" + name.get<std::string>() + "\"");
        }
        static const json noArgs = json::object();
        const json& args = member(parsed, ap::field::Args);
        if (!args.is_null() && !args.is_object()) return errorAnswer("\"args\" is an object");
        if (!units_.store.loaded()) {
            return dump(answerOf(ap::status::Refused, text::TablesNotLoaded));
        }

        Call call{args.is_null() ? noArgs : args, json()};
        LineCapture capture(console_);
        const Outcome outcome = (this->*(found->run))(call);

        json out = answerOf(outcome ? ap::status::Done : ap::status::Refused,
                            outcome ? std::string_view() : std::string_view(outcome.text));
        json lines = json::array();
        for (const ConsoleLine& line : capture.lines) {
            lines.push_back({{ap::field::Text, line.text},
                             {ap::field::Kind, lineKindName(line.kind)},
                             {ap::field::Tag, line.tag}});
        }
        out[ap::field::Lines] = std::move(lines);
        if (!call.data.is_null()) out[ap::field::Data] = std::move(call.data);
        return dump(out);
    } catch (const BadRequest& bad) {
        return errorAnswer(bad.reason);
    } catch (const json::exception& e) {
        return errorAnswer(e.what());
    }
}

// --- Status and listings -------------------------------------------------------------------

Outcome AdminRequests::status(Call&) {
    units_.commands.allStatus();
    return Outcome::done();
}

Outcome AdminRequests::sessions(Call&) {
    listLoggedInUsers(console_, units_.store.accounts());
    return Outcome::done();
}

Outcome AdminRequests::checkouts(Call& call) {
    const auto days = optionalNumber(call.args, ap::arg::OlderThanDays);
    if (!days) {
        listCheckedOutFiles(console_, units_.store.groups());
        return Outcome::done();
    }
    json files = json::array();
    for (const HeldFile& file : listFilesHeldLongerThan(console_, units_.store.groups(),
                                                        units_.clock.localTime(), *days)) {
        files.push_back({{ap::data::Group, file.group},
                         {ap::data::Path, file.path},
                         {ap::data::Holder, file.holder},
                         {ap::data::Time, file.time}});
    }
    call.data[ap::data::Files] = std::move(files);
    return Outcome::done();
}

// --- Accounts ------------------------------------------------------------------------------

std::optional<std::size_t> AdminRequests::accountIndex(std::string_view userName) const {
    const int found = units_.store.accounts().findByUserName(userName);
    if (found < 0) return std::nullopt;
    return static_cast<std::size_t>(found);
}

Outcome AdminRequests::accountAdd(Call& call) {
    AccountForm form;
    form.userName = requiredText(call.args, ap::arg::User);
    form.password = requiredText(call.args, ap::arg::Password);
    form.retype = requiredText(call.args, ap::arg::Retype);
    form.name = optionalText(call.args, ap::arg::Name).value_or("");
    form.dept = optionalText(call.args, ap::arg::Dept).value_or("");
    form.disable = optionalFlag(call.args, ap::arg::Disabled).value_or(false);
    return units_.accounts.createAccount(form);
}

Outcome AdminRequests::accountSet(Call& call) {
    const std::string user = requiredText(call.args, ap::arg::User);
    const auto rename = optionalText(call.args, ap::arg::Rename);
    const auto name = optionalText(call.args, ap::arg::Name);
    const auto dept = optionalText(call.args, ap::arg::Dept);
    const auto password = optionalText(call.args, ap::arg::Password);
    const auto retype = optionalText(call.args, ap::arg::Retype);
    const auto enabled = optionalFlag(call.args, ap::arg::Enabled);
    if (password.has_value() != retype.has_value()) {
        throw BadRequest{"\"password\" and \"retype\" come together"};
    }
    const auto index = accountIndex(user);
    if (!index) return refusal(text::format(text::NoSuchUser, user));
    AccountForm form = accountFormFor(units_.store.accounts(), *index);
    if (rename) form.userName = *rename;
    if (name) form.name = *name;
    if (dept) form.dept = *dept;
    if (password) {
        form.password = *password;
        form.retype = *retype;
    }
    if (enabled) form.disable = !*enabled;
    return units_.accounts.acceptEdit(*index, form);
}

Outcome AdminRequests::accountRemove(Call& call) {
    const std::string user = requiredText(call.args, ap::arg::User);
    const auto index = accountIndex(user);
    if (!index) return refusal(text::format(text::NoSuchUser, user));
    AccountForm form = accountFormFor(units_.store.accounts(), *index);
    form.remove = true;
    return units_.accounts.acceptEdit(*index, form);
}

Outcome AdminRequests::accountDisconnect(Call& call) {
    const std::string user = requiredText(call.args, ap::arg::User);
    const auto index = accountIndex(user);
    if (!index) return refusal(text::format(text::NoSuchUser, user));
    AccountForm form = accountFormFor(units_.store.accounts(), *index);
    // The dialog offers "Disconnect" only while the account is connected.
    if (!form.disconnectEnabled) return refusal(text::format(text::UserNotConnected, user));
    form.disconnect = true;
    return units_.accounts.acceptEdit(*index, form);
}

Outcome AdminRequests::accountList(Call&) {
    units_.accounts.listAccounts();
    return Outcome::done();
}

Outcome AdminRequests::accountSearch(Call& call) {
    units_.accounts.searchAccounts(requiredText(call.args, ap::arg::Keywords));
    return Outcome::done();
}

// --- Groups --------------------------------------------------------------------------------

Outcome AdminRequests::editGroup(
    std::string_view name, const std::function<std::optional<std::string>(GroupForm&)>& edit) {
    const GroupTable& groups = units_.store.groups();
    const int found = groups.findByName(name);
    if (found < 0) return refusal(text::format(text::NoSuchGroup, std::string(name)));
    GroupForm form = formOf(groups, static_cast<std::size_t>(found));
    if (auto refused = edit(form)) return refusal(*refused);
    // As the dialog opens: the warning when the group is in use, then OK.
    const auto group = units_.groups.openForEdit(name);
    return units_.groups.acceptForm(form, *group, false);
}

Outcome AdminRequests::groupAdd(Call& call) {
    GroupForm form;
    form.name = requiredText(call.args, ap::arg::Group);
    form.disabled = optionalFlag(call.args, ap::arg::Disabled).value_or(false);
    return units_.groups.createGroup(form);
}

Outcome AdminRequests::groupSet(Call& call) {
    const std::string group = requiredText(call.args, ap::arg::Group);
    const auto rename = optionalText(call.args, ap::arg::Rename);
    const auto enabled = optionalFlag(call.args, ap::arg::Enabled);
    return editGroup(group, [&](GroupForm& form) -> std::optional<std::string> {
        if (rename) form.name = *rename;
        if (enabled) form.disabled = !*enabled;
        return std::nullopt;
    });
}

Outcome AdminRequests::groupRemove(Call& call) {
    return editGroup(requiredText(call.args, ap::arg::Group),
                     [](GroupForm& form) -> std::optional<std::string> {
                         form.remove = true;
                         return std::nullopt;
                     });
}

Outcome AdminRequests::groupList(Call&) {
    units_.groups.listGroups();
    return Outcome::done();
}

Outcome AdminRequests::groupShow(Call& call) {
    const std::string name = requiredText(call.args, ap::arg::Group);
    const GroupTable& groups = units_.store.groups();
    const int found = groups.findByName(name);
    if (found < 0) return refusal(text::format(text::NoSuchGroup, name));
    const auto g = static_cast<std::size_t>(found);
    const GroupForm form = formOf(groups, g);
    json files = json::array();
    for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
        const auto entry = groups.fileEntry(g, k);
        const std::string path = entry.get(FileEntry::path);
        if (path.empty()) continue;
        const bool marked = entry.get(FileEntry::checkedOut) == 1;
        files.push_back({{ap::data::Path, path},
                         {ap::data::CheckedOut, marked},
                         {ap::data::Holder, marked ? entry.get(FileEntry::holder) : ""},
                         {ap::data::Time, marked ? entry.get(FileEntry::checkOutTime) : ""}});
    }
    call.data = {{ap::data::Name, form.name},
                 {ap::data::Disabled, form.disabled},
                 {ap::data::Users, form.users},
                 {ap::data::Files, std::move(files)}};
    return Outcome::done();
}

Outcome AdminRequests::groupUsers(Call& call) {
    const std::string group = requiredText(call.args, ap::arg::Group);
    const bool add = adding(call.args);
    const std::vector<std::string> users = textList(call.args, ap::arg::Users);
    const AccountTable& accounts = units_.store.accounts();
    return editGroup(group, [&](GroupForm& form) -> std::optional<std::string> {
        if (add) {
            // The User List offers the accounts there are, under their own names.
            std::vector<std::string> names;
            for (const std::string& user : users) {
                const auto index = accountIndex(user);
                if (!index) return text::format(text::NoSuchUser, user);
                names.push_back(accounts.record(*index).get(AccountRecord::userName));
            }
            addMemberUsers(form, names);
            return std::nullopt;
        }
        std::vector<std::size_t> positions;
        for (const std::string& user : users) {
            const auto at = std::find_if(form.users.begin(), form.users.end(), [&](const auto& u) {
                return equalsIgnoringCase(u, user);
            });
            if (at == form.users.end()) return text::format(text::NotAMemberUser, user, group);
            positions.push_back(static_cast<std::size_t>(at - form.users.begin()));
        }
        removeEntries(form.users, positions);
        return std::nullopt;
    });
}

Outcome AdminRequests::groupFiles(Call& call) {
    const std::string group = requiredText(call.args, ap::arg::Group);
    const bool add = adding(call.args);
    const std::vector<std::string> paths = textList(call.args, ap::arg::Paths);
    return editGroup(group, [&](GroupForm& form) -> std::optional<std::string> {
        if (add) {
            // The file picker offers files that are there, by their full paths.
            for (const std::string& path : paths) {
                if (path.empty() || path.front() != '/' || !files::isFile(path)) {
                    return text::format(text::NoSuchFile, path);
                }
            }
            const std::vector<std::string> tooLong = addMemberFiles(form, paths);
            if (!tooLong.empty()) return memberPathRefusal(tooLong.front());
            return std::nullopt;
        }
        std::vector<std::size_t> positions;
        for (const std::string& path : paths) {
            const auto at = std::find(form.files.begin(), form.files.end(), path);
            if (at == form.files.end()) return text::format(text::NotAMemberFile, path, group);
            positions.push_back(static_cast<std::size_t>(at - form.files.begin()));
        }
        removeEntries(form.files, positions);
        return std::nullopt;
    });
}

// --- Member files --------------------------------------------------------------------------

FilePropertiesModel AdminRequests::fileModel(const std::string& path) {
    return FilePropertiesModel(units_.store, units_.versions, units_.checkOuts, units_.ui, path);
}

Outcome AdminRequests::fileShow(Call& call) {
    const std::string path = requiredText(call.args, ap::arg::Path);
    if (path.size() > MaxMemberPathLength) return refusal(memberPathRefusal(path));
    FilePropertiesModel model = fileModel(path);
    model.refresh();
    json versions = json::array();
    for (const std::string& stamp : model.versions()) {
        json version = {{ap::data::Stamp, stamp}};
        if (const auto details = units_.versions.details(model.path(), stamp)) {
            const proto::ConstView view{*details};
            version[ap::data::Time] = view.get(proto::DetailRecord::time);
            version[ap::data::User] = view.get(proto::DetailRecord::userName);
            version[ap::data::Comment] = std::string(proto::capped(
                view.get(proto::DetailRecord::comment), proto::DetailRecord::kMaxComment));
        }
        versions.push_back(std::move(version));
    }
    call.data = {{ap::data::Path, model.path()},
                 {ap::data::Groups, model.groupNames()},
                 {ap::data::Holder, model.holder()},
                 {ap::data::Time, model.checkOutTime()},
                 {ap::data::Versions, std::move(versions)}};
    return Outcome::done();
}

Outcome AdminRequests::fileVoid(Call& call) {
    const std::string path = requiredText(call.args, ap::arg::Path);
    if (path.size() > MaxMemberPathLength) return refusal(memberPathRefusal(path));
    FilePropertiesModel model = fileModel(path);
    model.refresh();
    // The window offers the void only while it shows a holder.
    if (!model.canVoid()) return refusal(text::format(text::NotCheckedOut, path));
    if (!model.voidCheckOut()) return Outcome::failed(std::string(text::GroupsNotSaved));
    return Outcome::done();
}

Outcome AdminRequests::fileRestore(Call& call) {
    const std::string path = requiredText(call.args, ap::arg::Path);
    const std::string stamp = requiredText(call.args, ap::arg::Stamp);
    if (path.size() > MaxMemberPathLength) return refusal(memberPathRefusal(path));
    FilePropertiesModel model = fileModel(path);
    Outcome outcome = model.setAsLatest(stamp);
    if (outcome) call.data = {{ap::data::Message, outcome.text}};
    return outcome;
}

// --- Settings, the schedule and messages ---------------------------------------------------

Outcome AdminRequests::noticeShow(Call& call) {
    const NoticeSetting& notice = units_.notice.setting();
    call.data = {{ap::data::Send, notice.sending()},
                 {ap::data::Text, std::string(notice.textView())}};
    return Outcome::done();
}

Outcome AdminRequests::noticeSet(Call& call) {
    const auto send = optionalFlag(call.args, ap::arg::Send);
    const auto text = optionalText(call.args, ap::arg::Text);
    NoticeForm form;
    form.send = send.value_or(units_.notice.setting().sending());
    // With the box unchecked the window's text field takes nothing.
    if (text && !form.send) throw BadRequest{"a text needs the notice on"};
    form.text = text ? *text : units_.notice.textForEditing();
    if (!noticeFitsField(form.text)) return refusal(std::string(text::NoticeTooLong));
    if (!units_.notice.accept(form)) return Outcome::failed(std::string(text::NoticeNotSaved));
    return Outcome::done();
}

Outcome AdminRequests::backupShow(Call& call) {
    call.data = {{ap::data::Retain, units_.settings.retentionCount}};
    return Outcome::done();
}

Outcome AdminRequests::backupSet(Call& call) {
    const int retain = requiredNumber(call.args, ap::arg::Retain);
    const auto* choice =
        std::find(std::begin(RetentionChoices), std::end(RetentionChoices), retain);
    if (choice == std::end(RetentionChoices)) throw BadRequest{"\"retain\" is 5, 10 or 20"};
    if (!units_.settingsAdmin.setRetentionFromChoice(
            static_cast<int>(choice - std::begin(RetentionChoices)))) {
        return Outcome::failed(std::string(text::BackupNotSaved));
    }
    return Outcome::done();
}

Outcome AdminRequests::portShow(Call& call) {
    call.data = {{ap::data::Port, units_.settings.port},
                 {ap::data::Listening, units_.slots.listening() ? units_.slots.boundPort() : 0}};
    return Outcome::done();
}

Outcome AdminRequests::portSet(Call& call) {
    return units_.settingsAdmin.changePort(PortForm{requiredText(call.args, ap::arg::Port)});
}

Outcome AdminRequests::shutdownIn(Call& call) {
    return units_.shutdown.schedule(ShutdownForm{requiredText(call.args, ap::arg::Minutes)});
}

Outcome AdminRequests::shutdownCancel(Call&) {
    units_.shutdown.cancel();
    return Outcome::done();
}

Outcome AdminRequests::shutdownNow(Call&) {
    units_.shutdown.shutDownNow();
    return Outcome::done();
}

Outcome AdminRequests::send(Call& call) {
    // As New Message: once communication is closed a message could reach nobody.
    if (!units_.commands.messageNewEnabled()) {
        console_.important(text::CommunicationIsClosed);
        return Outcome::failed(std::string(text::CommunicationIsClosed));
    }
    ui::MessageForm form;
    form.recipients = requiredText(call.args, ap::arg::Recipients);
    form.text = requiredText(call.args, ap::arg::Text);
    form.important = optionalFlag(call.args, ap::arg::Important).value_or(false);
    if (auto refused = ui::checkMessageForm(form)) return refusal(*refused);
    units_.messages.sendAdminMessage(form.recipients, form.text, form.important);
    return Outcome::done();
}

}  // namespace zelt::server
