#include "client/core/messaging/login_notice.h"

#include <algorithm>

#include "client/core/ui/texts.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

namespace {

// The longest line the console takes from a notice; a longer one continues on the next line.
constexpr std::size_t kMaxNoticeLine = 1024;
constexpr std::size_t kMaxNoticeText = 1536;

}  // namespace

void LoginNotice::onAnswer(const proto::Packet& p) {
    const std::string notice = p.get(proto::RepNotice::text).substr(0, kMaxNoticeText);
    if (!notice.empty()) show(notice);
    FlowItem item(Flow::Notice);
    item.serverText = notice;
    events_.settled(item);
    events_.ended(Flow::Notice);
}

void LoginNotice::show(const std::string& notice) {
    console_.plain(text::NoticeHeader);
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = std::min(notice.find('\n', begin), notice.size());
        std::string line = notice.substr(begin, end - begin);
        while (line.size() > kMaxNoticeLine) {
            console_.plain(line.substr(0, kMaxNoticeLine));
            line.erase(0, kMaxNoticeLine);
        }
        console_.plain(line);
        if (end == notice.size()) break;
        begin = end + 1;
    }
    ui_.alert(local_.notifyFile());
}

}  // namespace zelt::client
