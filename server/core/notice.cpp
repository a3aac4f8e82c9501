// The log-in notice as the administrator edits it.
#include <cstring>

#include "server/core/server.h"

namespace zelt::server {

bool Server::setNotice(bool send, const std::vector<std::string>& editedLines) {
    if (send) {
        notice_.sendFlag = 1;
        std::string text;
        std::size_t total = 0;
        for (const std::string& line : editedLines) {
            const std::string_view kept = proto::capped(line, NoticeSetting::kMaxStoredText);
            total += kept.size() + 1;
            if (total > NoticeSetting::kMaxStoredText) break;  // this line and the rest go
            text.append(kept);
            text.push_back('\n');
        }
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        notice_.text.fill('\0');
        std::memcpy(notice_.text.data(), text.data(),
                    std::min(text.size(), notice_.text.size() - 1));
    } else {
        notice_.sendFlag = 0;
    }
    if (notice_.write(paths_.notice)) return true;
    console_.error("Failed to save the notice (Notice.zelt).");
    return false;
}

std::string Server::noticeForEditing() const {
    std::string out;
    const std::string_view text = notice_.textView();
    for (std::size_t i = 0; i < text.size() && i < NoticeSetting::kMaxStoredText; ++i) {
        if (text[i] == '\n') out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace zelt::server
