#include "client/core/session/request_queue.h"

namespace zelt::client {

using proto::Opcode;

namespace {

Opcode answerOf(std::span<const std::uint8_t> bytes) {
    const proto::OpcodeInfo* info = bytes.size() >= 2 ? proto::findOpcode(bytes[1]) : nullptr;
    return info != nullptr ? info->answer : Opcode::None;
}

}  // namespace

RequestQueue::RequestQueue(Reactor& reactor, const void* timerOwner, Sender sender)
    : reactor_(reactor), timerOwner_(timerOwner), sender_(std::move(sender)) {}

RequestQueue::~RequestQueue() {
    reactor_.killTimer(timerOwner_, kAnswerWaitTimer);
}

void RequestQueue::send(const proto::Packet& packet) {
    if (atOnce_) {
        sender_(packet.bytes());
        return;
    }
    if (awaiting_ == Opcode::None && queue_.empty()) {
        sendNow(packet.bytes());
        return;
    }
    queue_.emplace_back(packet.bytes().begin(), packet.bytes().end());
}

void RequestQueue::sendNow(std::span<const std::uint8_t> bytes) {
    awaiting_ = answerOf(bytes);
    if (awaiting_ != Opcode::None) {
        reactor_.startTimer(timerOwner_, kAnswerWaitTimer, kAnswerWait, TimerMode::OneShot, [this] {
            awaiting_ = Opcode::None;
            sendQueued();
        });
    }
    sender_(bytes);
}

void RequestQueue::sendQueued() {
    while (awaiting_ == Opcode::None && !queue_.empty()) {
        const std::vector<std::uint8_t> next = std::move(queue_.front());
        queue_.pop_front();
        sendNow(next);
    }
}

void RequestQueue::received(Opcode opcode) {
    if (awaiting_ == Opcode::None || opcode != awaiting_) return;
    reactor_.killTimer(timerOwner_, kAnswerWaitTimer);
    awaiting_ = Opcode::None;
    sendQueued();
}

void RequestQueue::clear() {
    reactor_.killTimer(timerOwner_, kAnswerWaitTimer);
    awaiting_ = Opcode::None;
    queue_.clear();
    atOnce_ = false;
}

void RequestQueue::sendAtOnce() {
    reactor_.killTimer(timerOwner_, kAnswerWaitTimer);
    awaiting_ = Opcode::None;
    atOnce_ = true;
    while (!queue_.empty()) {
        const std::vector<std::uint8_t> next = std::move(queue_.front());
        queue_.pop_front();
        sender_(next);
    }
}

}  // namespace zelt::client
