#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/console/console.h"
#include "common/platform/reactor.h"
#include "server/core/session/slot_table.h"

namespace zelt::server {

// Slows down the guessing of passwords. Failed log-ins are counted for the account's user name
// and for the address they come from; past the first few, each further refusal of that name or
// address is answered later, the wait doubling with every failure up to a limit, and the
// connection gets its answer from a timer while the server goes on serving everyone else. A
// log-in that succeeds is answered at once, so another user logging in meanwhile, even from
// the same address, notices nothing. A refused connection is closed, so a guesser needs one
// connection per guess: while MaxWaiting refusals of a name or an address wait for their time,
// its further attempts wait unexamined, which keeps many connections at once from buying more
// guesses. Counts are forgotten after a quiet spell, and a name's count when it logs in.
class LoginThrottle {
public:
    static constexpr int FreeFailures = 3;
    static constexpr Millis FirstDelay = 1000;
    static constexpr Millis MaxDelay = 30000;
    static constexpr Millis ForgetAfter = 15 * 60 * 1000;
    static constexpr int MaxWaiting = 8;

    // What examining an attempt found: logged in (already answered), refused with this text, or
    // the connection was gone by then.
    struct Outcome {
        enum class Result { LoggedIn, Refused, Gone } result = Result::Gone;
        std::string refusal;
        bool knownUser = false;  // the name is an account's: its failures count for it
    };
    using Examine = std::function<Outcome()>;
    // Sends the refusal and closes the connection.
    using Refuse = std::function<void(const std::string& refusal)>;

    LoginThrottle(Reactor& reactor, Console& console) : reactor_(reactor), console_(console) {}
    ~LoginThrottle();
    LoginThrottle(const LoginThrottle&) = delete;
    LoginThrottle& operator=(const LoginThrottle&) = delete;

    // Examines an attempt now, or once fewer refusals of its name and address wait.
    void attempt(ConnectionId id, std::string_view userName, std::string_view address,
                 Examine examine, Refuse refuse);
    // Whether an attempt of this connection waits to be examined or answered.
    bool busy(ConnectionId id) const;

private:
    struct Count {
        int failures = 0;
        Millis lastFailure = 0;
        int waiting = 0;  // refusals held for their time
        bool reported = false;
    };
    struct Attempt {
        ConnectionId id;
        std::string nameKey;
        std::string addressKey;
        std::string userName;  // as typed, for the line
        Examine examine;
        Refuse refuse;
    };
    struct Held {
        int timer;
        ConnectionId id;
        std::string nameKey;
        std::string addressKey;
    };

    void examine(Attempt attempt);
    // Counts a failure; the wait of its answer.
    Millis failed(const Attempt& attempt, bool knownUser);
    // The count of a key, a fresh one when the last failure is long past.
    Count& countOf(const std::string& key);
    bool full(const std::string& key) const;
    void release(int timer);
    void examineParked();
    void forgetOld();

    Reactor& reactor_;
    Console& console_;
    std::unordered_map<std::string, Count> counts_;
    std::deque<Attempt> parked_;
    std::vector<Held> held_;
    int nextTimer_ = 0;
};

}  // namespace zelt::server
