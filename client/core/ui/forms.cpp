#include "client/core/ui/forms.h"

#include <algorithm>
#include <charconv>

#include "client/core/ui/texts.h"
#include "common/scramble/scramble.h"

namespace zelt::client {

namespace {

bool allDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

LoginForm loginFormFrom(const CommSettings& comm, const std::string& lastError) {
    LoginForm form;
    form.userName = comm.userName();
    const std::uint32_t address = comm.address();
    if (address != 0) {
        for (int k = 0; k < 4; ++k) {
            form.address[k] = static_cast<int>((address >> (24 - 8 * k)) & 0xFF);
        }
    }
    if (comm.port() != 0) form.port = std::to_string(comm.port());
    form.status = lastError;
    if (address == 0) {
        form.focus = LoginForm::Focus::Address;
    } else if (!form.userName.empty()) {
        form.focus = LoginForm::Focus::Password;
    }
    return form;
}

std::optional<std::string> validateLoginForm(const LoginForm& form) {
    for (const std::optional<int>& field : form.address) {
        if (!field || *field < 0 || *field > 255) return std::string(text::EnterAddress);
    }
    if (!allDigits(form.port) || form.port.size() > kMaxPortDigits) {
        return std::string(text::EnterPort);
    }
    if (form.userName.empty()) return std::string(text::EnterUserName);
    if (form.password.empty()) return std::string(text::EnterPassword);
    return std::nullopt;
}

void storeLoginForm(const LoginForm& form, CommSettings* comm) {
    comm->clear();
    std::array<std::uint8_t, 4> octets{};
    for (std::size_t k = 0; k < octets.size(); ++k) {
        octets[k] = static_cast<std::uint8_t>(form.address[k].value_or(0));
    }
    comm->setAddress(octets);
    comm->setUserName(form.userName.substr(0, kMaxUserName));
    // A dialog accepts only digits here; anything else stores no port rather than failing.
    int port = 0;
    std::from_chars(form.port.data(), form.port.data() + form.port.size(), port);
    comm->setPort(port);
    comm->setPassword(scramble::scramble(form.password.substr(0, kMaxPassword)));
}

std::optional<std::string> validatePasswordForm(const PasswordForm& form) {
    if (form.current.empty()) return std::string(text::EnterCurrentPassword);
    if (form.replacement.empty()) return std::string(text::EnterNewPassword);
    if (form.retype.empty()) return std::string(text::RetypeNewPassword);
    if (form.replacement != form.retype) return std::string(text::PasswordMismatch);
    return std::nullopt;
}

std::string collectComment(const std::vector<std::string>& lines) {
    std::string comment;
    std::size_t total = 0;
    for (const std::string& line : lines) {
        total += line.size() + 1;
        if (total > kMaxComment) break;
        comment += line;
        comment += '\n';
    }
    return comment;
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string quotedLine(std::string_view prefix, const std::string& value) {
    return std::string(prefix) + " " + quoted(value) + ".";
}

std::string fileCountLabel(int count) {
    return std::to_string(count) + (count < 2 ? " file" : " files");
}

std::string toCrLf(const std::string& text, std::size_t limit) {
    std::string out;
    const std::size_t end = std::min(limit, text.size());
    for (std::size_t i = 0; i < end && text[i] != '\0'; ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

}  // namespace zelt::client
