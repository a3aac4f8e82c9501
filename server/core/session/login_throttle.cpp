#include "server/core/session/login_throttle.h"

#include <algorithm>

#include "common/protocol/fields.h"
#include "server/core/store/names.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {

// More keys than this are not kept: the oldest quiet ones are dropped first.
constexpr std::size_t kMaxKeys = 4096;

}  // namespace

LoginThrottle::~LoginThrottle() {
    for (const Held& held : held_) reactor_.killTimer(this, held.timer);
}

bool LoginThrottle::busy(ConnectionId id) const {
    return std::any_of(held_.begin(), held_.end(), [&](const Held& h) { return h.id == id; }) ||
           std::any_of(parked_.begin(), parked_.end(),
                       [&](const Attempt& a) { return a.id == id; });
}

void LoginThrottle::attempt(ConnectionId id, std::string_view userName, std::string_view address,
                            Examine examine, Refuse refuse) {
    Attempt a{id,
              userName.empty() ? "" : "user " + lowerAscii(proto::capped(userName, MaxUserNameLength)),
              address.empty() ? "" : "from " + std::string(address),
              std::string(userName),
              std::move(examine),
              std::move(refuse)};
    if (full(a.nameKey) || full(a.addressKey)) {
        parked_.push_back(std::move(a));
        return;
    }
    this->examine(std::move(a));
}

void LoginThrottle::examine(Attempt attempt) {
    const Outcome outcome = attempt.examine();
    switch (outcome.result) {
        case Outcome::Result::Gone:
            return;
        case Outcome::Result::LoggedIn:
            // The user knows the password; what went before was typing.
            if (!attempt.nameKey.empty()) {
                const auto it = counts_.find(attempt.nameKey);
                if (it != counts_.end() && it->second.waiting == 0) counts_.erase(it);
            }
            return;
        case Outcome::Result::Refused:
            break;
    }
    const Millis wait = failed(attempt, outcome.knownUser);
    if (wait == 0) {
        attempt.refuse(outcome.refusal);
        return;
    }
    const int timer = ++nextTimer_;
    if (outcome.knownUser && !attempt.nameKey.empty()) ++counts_[attempt.nameKey].waiting;
    if (!attempt.addressKey.empty()) ++counts_[attempt.addressKey].waiting;
    held_.push_back({timer, attempt.id, outcome.knownUser ? attempt.nameKey : "",
                     attempt.addressKey});
    reactor_.startTimer(this, timer, wait, TimerMode::OneShot,
                        [this, timer, refuse = std::move(attempt.refuse),
                         refusal = outcome.refusal] {
                            refuse(refusal);
                            release(timer);
                        });
}

Millis LoginThrottle::failed(const Attempt& attempt, bool knownUser) {
    forgetOld();
    int failures = 0;
    const auto count = [&](const std::string& key, const char* line, const std::string& who) {
        Count& c = countOf(key);
        ++c.failures;
        c.lastFailure = reactor_.now();
        failures = std::max(failures, c.failures);
        if (c.failures > FreeFailures && !c.reported) {
            c.reported = true;
            console_.important(text::format(line, c.failures, who));
        }
    };
    if (knownUser && !attempt.nameKey.empty()) {
        count(attempt.nameKey, text::LogInsSlowedForUser, attempt.userName);
    }
    if (!attempt.addressKey.empty()) {
        count(attempt.addressKey, text::LogInsSlowedFromAddress,
              attempt.addressKey.substr(sizeof "from " - 1));
    }
    if (failures <= FreeFailures) return 0;
    const int doublings = std::min(failures - FreeFailures - 1, 16);
    return std::min<Millis>(FirstDelay << doublings, MaxDelay);
}

LoginThrottle::Count& LoginThrottle::countOf(const std::string& key) {
    Count& c = counts_[key];
    if (c.failures > 0 && reactor_.now() - c.lastFailure > ForgetAfter) {
        c.failures = 0;
        c.reported = false;
    }
    return c;
}

bool LoginThrottle::full(const std::string& key) const {
    if (key.empty()) return false;
    const auto it = counts_.find(key);
    return it != counts_.end() && it->second.waiting >= MaxWaiting;
}

void LoginThrottle::release(int timer) {
    const auto it =
        std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.timer == timer; });
    if (it == held_.end()) return;
    for (const std::string* key : {&it->nameKey, &it->addressKey}) {
        const auto c = key->empty() ? counts_.end() : counts_.find(*key);
        if (c != counts_.end() && c->second.waiting > 0) --c->second.waiting;
    }
    held_.erase(it);
    examineParked();
}

void LoginThrottle::examineParked() {
    // In the order they came, each as soon as its name and address have room again.
    for (std::size_t i = 0; i < parked_.size();) {
        if (full(parked_[i].nameKey) || full(parked_[i].addressKey)) {
            ++i;
            continue;
        }
        Attempt next = std::move(parked_[i]);
        parked_.erase(parked_.begin() + static_cast<std::ptrdiff_t>(i));
        examine(std::move(next));
        i = 0;  // examining may have filled or freed room for the ones before
    }
}

void LoginThrottle::forgetOld() {
    if (counts_.size() < kMaxKeys) return;
    const Millis now = reactor_.now();
    std::erase_if(counts_, [&](const auto& entry) {
        return entry.second.waiting == 0 && now - entry.second.lastFailure > ForgetAfter;
    });
    while (counts_.size() >= kMaxKeys) {
        auto oldest = counts_.end();
        for (auto it = counts_.begin(); it != counts_.end(); ++it) {
            if (it->second.waiting == 0 &&
                (oldest == counts_.end() || it->second.lastFailure < oldest->second.lastFailure)) {
                oldest = it;
            }
        }
        if (oldest == counts_.end()) return;
        counts_.erase(oldest);
    }
}

}  // namespace zelt::server
