#include "client/core/browse/file_properties.h"

#include <algorithm>

#include "client/core/ui/texts.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;

void FileProperties::request(const std::string& group, const std::string& path) {
    if (group.empty() || path.empty()) return;
    Packet p(Opcode::ReqFileProperties);
    p.set(proto::ReqFileProperties::groupName, group);
    p.set(proto::ReqFileProperties::path, path);
    if (!link_.send(p)) return;
    // As the answer will name them: the fields hold at most their width less one.
    const Asked asked{p.get(proto::ReqFileProperties::groupName),
                      p.get(proto::ReqFileProperties::path)};
    if (std::find(asked_.begin(), asked_.end(), asked) == asked_.end()) asked_.push_back(asked);
}

void FileProperties::onAnswer(const Packet& p) {
    const auto asked = std::find(
        asked_.begin(), asked_.end(),
        Asked{p.get(proto::RepFileProperties::groupName), p.get(proto::RepFileProperties::path)});
    if (asked == asked_.end()) return;
    asked_.erase(asked);
    last_.assign(p.bytes().begin(), p.bytes().end());
    model_.exists = true;
    model_.visible = true;
    fill();
    events_.ended(Flow::FileProperties);
}

void FileProperties::fill() {
    const proto::ConstView v{last_};
    model_.groupName = v.get(proto::RepFileProperties::groupName);
    model_.path = v.get(proto::RepFileProperties::path);
    model_.holder = v.get(proto::RepFileProperties::holder);
    model_.checkOutTime = v.get(proto::RepFileProperties::checkOutTime);
    model_.sendMessage = !model_.holder.empty();
    const proto::ConstView details =
        v.sub(proto::RepFileProperties::details.offset, proto::DetailRecord::kSize);
    model_.updateTime = details.get(proto::DetailRecord::time);
    model_.updatedBy = details.get(proto::DetailRecord::userName);
    model_.comment =
        details.get(proto::DetailRecord::comment).substr(0, proto::DetailRecord::kMaxComment);
    if (model_.updateTime.empty()) {
        model_.details = std::string(text::NoFileDetails);
    } else {
        model_.details = model_.updateTime + "\r\n" + model_.updatedBy + "\r\n\r\n" +
                         toCrLf(model_.comment, proto::DetailRecord::kMaxComment);
    }
    ui_.filePropertiesChanged(model_);
}

void FileProperties::messageHolder() {
    if (!model_.holder.empty()) ui_.openSendMessage(model_.holder);
}

void FileProperties::close() {
    model_.visible = false;
    ui_.filePropertiesChanged(model_);
}

void FileProperties::destroy() {
    if (!model_.exists) return;
    model_ = FilePropertiesModel{};
    ui_.filePropertiesChanged(model_);
}

}  // namespace zelt::client
