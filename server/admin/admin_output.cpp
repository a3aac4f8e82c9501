#include "server/admin/admin_output.h"

#include <cstdio>

#include "server/admin/admin_command.h"
#include "server/core/admin/admin_protocol.h"
#include "server/core/admin/group_form.h"
#include "server/core/relay/login_notice.h"
#include "server/core/ui/texts.h"

namespace zelt::server::admin {

using nlohmann::json;
namespace ap = adminproto;

namespace {

// A dialog's label without its mnemonic: "&Group name:" reads "Group name:".
std::string label(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != '&') out.push_back(c);
    }
    return out;
}

// A check box as text: "[x] Disable this group".
std::string checkBox(bool checked, std::string_view text) {
    return std::string(checked ? "[x] " : "[ ] ") + label(text);
}

std::string textOf(const json& data, const char* key) {
    const auto it = data.find(key);
    return it != data.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::vector<std::string> textsOf(const json& data, const char* key) {
    std::vector<std::string> out;
    const auto it = data.find(key);
    if (it == data.end() || !it->is_array()) return out;
    for (const json& item : *it) {
        if (item.is_string()) out.push_back(item.get<std::string>());
    }
    return out;
}

constexpr std::string_view kItem = "    ";

void groupShown(const json& data, std::vector<std::string>& out) {
    GroupForm form;
    form.users = textsOf(data, ap::data::Users);
    const json files = data.value(ap::data::Files, json::array());
    for (const json& file : files) form.files.push_back(textOf(file, ap::data::Path));
    out.push_back(label(text::GroupNameLabel) + " " + textOf(data, ap::data::Name));
    out.push_back(checkBox(data.value(ap::data::Disabled, false), text::DisableGroupBox));
    out.push_back(usersCaption(form));
    for (const std::string& user : form.users) out.push_back(std::string(kItem) + user);
    out.push_back(filesCaption(form));
    for (const json& file : files) {
        out.push_back(std::string(kItem) + textOf(file, ap::data::Path));
        if (file.value(ap::data::CheckedOut, false)) {
            out.push_back(std::string(kItem) + text::format(text::HeldBy,
                                                            textOf(file, ap::data::Holder),
                                                            textOf(file, ap::data::Time)));
        }
    }
}

void fileShown(const json& data, std::vector<std::string>& out) {
    out.push_back(textOf(data, ap::data::Path));
    std::string groups;
    for (const std::string& group : textsOf(data, ap::data::Groups)) {
        if (!groups.empty()) groups += text::GroupNameSeparator;
        groups += group;
    }
    out.push_back(std::string(text::IncludedInLabel) + groups);
    const std::string holder = textOf(data, ap::data::Holder);
    if (!holder.empty()) {
        out.push_back(std::string(text::CheckedOutByLabel) + " " + holder + " " +
                      std::string(text::AtLabel) + " " + textOf(data, ap::data::Time));
    }
    out.push_back(std::string(text::VersionsFrame));
    for (const json& version : data.value(ap::data::Versions, json::array())) {
        out.push_back(std::string(kItem) + textOf(version, ap::data::Stamp));
        const std::string detail = std::string(kItem) + std::string(kItem);
        if (!version.contains(ap::data::Time)) {
            out.push_back(detail + std::string(text::NoFileDetails));
            continue;
        }
        // As the window's details box: time, user, an empty line, the comment.
        out.push_back(detail + textOf(version, ap::data::Time));
        out.push_back(detail + textOf(version, ap::data::User));
        out.push_back(detail);
        for (const std::string& line : splitEditLines(textOf(version, ap::data::Comment))) {
            out.push_back(detail + line);
        }
    }
}

void noticeShown(const json& data, std::vector<std::string>& out) {
    out.push_back(checkBox(data.value(ap::data::Send, false), text::SendNoticeBox));
    const std::string notice = textOf(data, ap::data::Text);
    if (notice.empty()) return;
    for (const std::string& line : splitEditLines(notice)) out.push_back(line);
}

void dataShown(std::string_view command, const json& data, std::vector<std::string>& out) {
    if (command == ap::command::GroupShow) {
        groupShown(data, out);
    } else if (command == ap::command::FileShow) {
        fileShown(data, out);
    } else if (command == ap::command::FileRestore) {
        out.push_back(textOf(data, ap::data::Message));
    } else if (command == ap::command::NoticeShow) {
        noticeShown(data, out);
    } else if (command == ap::command::BackupShow) {
        out.push_back(label(text::RetainLastLabel) + " " +
                      std::to_string(data.value(ap::data::Retain, 0)) + " " +
                      std::string(text::BackupsLabel));
    } else if (command == ap::command::PortShow) {
        const int port = data.value(ap::data::Port, 0);
        const int listening = data.value(ap::data::Listening, 0);
        out.push_back(label(text::PortLabel) + " " + std::to_string(port));
        if (listening != 0 && listening != port) {
            out.push_back(text::format(text::ListeningOn, listening));
        }
    }
}

std::vector<std::string> consoleLines(const json& answer) {
    std::vector<std::string> out;
    for (const json& line : answer.value(ap::field::Lines, json::array())) {
        out.push_back(textOf(line, ap::field::Text));
    }
    return out;
}

// The text with its control characters written out (a line break kept when asked), so that
// nothing a client sent, a message say, can split a line or reach the terminal as a control
// sequence.
std::string printable(std::string_view text, bool keepLineBreaks = false) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n' && keepLineBreaks) {
            out.push_back(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void print(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const std::string shown = printable(line) + "\n";
        std::fwrite(shown.data(), 1, shown.size(), stdout);
    }
}

}  // namespace

std::vector<std::string> answerLines(std::string_view command, const json& answer) {
    std::vector<std::string> out = consoleLines(answer);
    const auto data = answer.find(ap::field::Data);
    if (data != answer.end() && data->is_object()) dataShown(command, *data, out);
    return out;
}

int report(std::string_view command, const json& answer, bool asJson) {
    const std::string status = textOf(answer, ap::field::Status);
    const std::string reason = textOf(answer, ap::field::Reason);
    if (asJson) {
        const std::string document =
            answer.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
        std::fwrite(document.data(), 1, document.size(), stdout);
    } else if (status == ap::status::Done) {
        print(answerLines(command, answer));
    } else if (status == ap::status::Refused) {
        // What the server printed up to the refusal; its own error line is the reason below.
        std::vector<std::string> lines = consoleLines(answer);
        if (!lines.empty() && lines.back() == reason) lines.pop_back();
        print(lines);
    }
    std::fflush(stdout);
    if (status == ap::status::Done) return ExitDone;
    const std::string why =
        status == ap::status::Refused ? reason : text::format(text::RequestNotUnderstood, reason);
    std::fprintf(stderr, "%s\n", printable(why, true).c_str());
    return ExitRefused;
}

}  // namespace zelt::server::admin
