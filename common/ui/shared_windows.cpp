#include "common/ui/shared_windows.h"

#include <algorithm>

namespace zelt::ui {

namespace {
constexpr std::size_t kMaxSenderName = 50;
constexpr std::size_t kMailtoRoom = 511;
}  // namespace

std::optional<std::string> checkMessageForm(const MessageForm& form) {
    if (form.recipients.empty()) return std::string(text::EnterRecipient);
    if (form.text.empty()) return std::string(text::EnterMessage);
    return std::nullopt;
}

std::string replyName(std::string_view lineText) {
    const auto close = lineText.find('>');
    if (close == std::string_view::npos || close == 0) return "";
    return std::string(lineText.substr(1, std::min(close - 1, kMaxSenderName)));
}

std::string mailtoAddress(std::string_view address, std::string_view version) {
    std::string out = "mailto:" + std::string(address) + "?subject=ZELT query: " +
                      std::string(version);
    if (out.size() > kMailtoRoom) out.resize(kMailtoRoom);
    return out;
}

std::string shellOpenFailure(int code) {
    struct Reason {
        int code;
        const char* text;
    };
    static constexpr Reason kReasons[] = {
        {0, "The operating system is out of memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied access to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .exe file is invalid (non-Win32® .exe or error in .exe image)."},
        {26, "A sharing violation occurred."},
        {27, "The file name association is incomplete or invalid."},
        {28, "The DDE transaction could not be completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30,
         "The DDE transaction could not be completed because other DDE transactions were "
         "being processed."},
        {31, "There is no application associated with the given file name extension."},
        {32, "The specified dynamic-link library was not found."},
    };
    const char* reason = "Cannot execute the specified file.";
    for (const Reason& r : kReasons) {
        if (r.code == code) reason = r.text;
    }
    return std::string(text::OpenFailed) + "\n\n" + reason;
}

}  // namespace zelt::ui
