#include "client/core/working/void_check_out.h"

#include <algorithm>

#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;

void VoidCheckOut::voidSelected() {
    if (!link_.requireConnected()) return;
    if (!ui_.askYesNo(std::string(text::ConfirmVoid))) return;
    list_.clear();
    for (int row : working_.selectedRows()) {
        const int record = working_.recordOfRow(row);
        if (record != CheckOutTable::kNone) list_.push_back(local_.table().path(record));
    }
    working_.hide();
    asked_ = 0;
    loop(0);
}

void VoidCheckOut::loop(int from) {
    if (link_.pipelined()) {
        // Every void of the list goes at once; the list ends with its last answer.
        for (; asked_ < list_.size(); ++asked_) {
            if (list_[asked_].empty()) continue;
            Packet p(Opcode::ReqVoidCheckOut);
            p.set(proto::ReqVoidCheckOut::tag, static_cast<std::int32_t>(asked_));
            p.set(proto::ReqVoidCheckOut::path, list_[asked_]);
            link_.send(p);
        }
        if (std::any_of(list_.begin(), list_.end(),
                        [](const std::string& path) { return !path.empty(); })) {
            return;
        }
        working_.show();
        events_.ended(Flow::Void);
        return;
    }
    for (int i = std::max(from, 0); i < static_cast<int>(list_.size()); ++i) {
        if (list_[static_cast<std::size_t>(i)].empty()) continue;
        Packet p(Opcode::ReqVoidCheckOut);
        p.set(proto::ReqVoidCheckOut::tag, i);
        p.set(proto::ReqVoidCheckOut::path, list_[static_cast<std::size_t>(i)]);
        link_.send(p);
        return;
    }
    working_.show();
    events_.ended(Flow::Void);
}

void VoidCheckOut::onAnswer(const Packet& p) {
    const int index = p.get(proto::RepVoidCheckOut::tag);
    const std::string path = p.get(proto::RepVoidCheckOut::path);
    // Only the answer to a void the user confirmed may delete a working copy.
    if (index < 0 || index >= static_cast<int>(list_.size()) ||
        list_[static_cast<std::size_t>(index)] != path) {
        return;
    }
    const std::string line = quoted(path) + " " + std::string(text::CheckOutVoided);
    console_.important(line);
    const int record = local_.table().findHeld(path);
    if (record != CheckOutTable::kNone) {
        local_.dropRecord(record);
        local_.saveTable();
    }
    list_[static_cast<std::size_t>(index)].clear();
    events_.settled(FlowItem(Flow::Void, path, Outcome::Done, line));
    loop(index + 1);
}

}  // namespace zelt::client
