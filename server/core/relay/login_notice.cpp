#include "server/core/relay/login_notice.h"

#include <cstring>

#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

std::vector<std::string> splitEditLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n') {
            lines.push_back(std::move(line));
            line.clear();
        } else {
            line.push_back(text[i]);
        }
    }
    lines.push_back(std::move(line));
    return lines;
}

bool noticeFitsField(std::string_view fieldText) {
    std::vector<std::string> lines = splitEditLines(fieldText);
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    std::size_t total = 0;
    for (const std::string& line : lines) {
        total += line.size() + 1;  // as LoginNotice::set counts
        if (total > NoticeSetting::kMaxStoredText) return false;
    }
    return true;
}

void LoginNotice::onReqNotice(ConnectionId id) {
    proto::Packet reply(proto::Opcode::RepNotice);
    if (notice_.sending()) reply.set(proto::RepNotice::text, notice_.textView());
    slots_.answer(id, reply.bytes());
}

void LoginNotice::editProperties() {
    NoticeForm form;
    form.send = notice_.sending();
    form.text = textForEditing();
    if (!ui_.editNotice(form)) return;
    accept(form);
}

bool LoginNotice::accept(const NoticeForm& form) {
    if (!set(form.send, splitEditLines(form.text))) return false;
    console_.plain(text::NoticeChanged);
    return true;
}

bool LoginNotice::set(bool send, const std::vector<std::string>& editedLines) {
    if (send) {
        notice_.sendFlag = 1;
        std::string stored;
        std::size_t total = 0;
        for (const std::string& line : editedLines) {
            const std::string_view kept = proto::capped(line, NoticeSetting::kMaxStoredText);
            total += kept.size() + 1;
            if (total > NoticeSetting::kMaxStoredText) break;  // this line and the rest go
            stored.append(kept);
            stored.push_back('\n');
        }
        while (!stored.empty() && (stored.back() == '\n' || stored.back() == '\r')) {
            stored.pop_back();
        }
        notice_.text.fill('\0');
        std::memcpy(notice_.text.data(), stored.data(),
                    std::min(stored.size(), notice_.text.size() - 1));
    } else {
        notice_.sendFlag = 0;
    }
    if (notice_.write(paths_.notice)) return true;
    console_.error(text::NoticeNotSaved);
    return false;
}

std::string LoginNotice::textForEditing() const {
    std::string out;
    const std::string_view stored = notice_.textView();
    for (std::size_t i = 0; i < stored.size() && i < NoticeSetting::kMaxStoredText; ++i) {
        if (stored[i] == '\n') out.push_back('\r');
        out.push_back(stored[i]);
    }
    return out;
}

}  // namespace zelt::server
