#pragma once

#include <string>
#include <utility>
#include <vector>

// News of the core's flows for a front end that must know more than the console shows: how
// each file of a flow came out as its answer arrives, when a flow has ended, and what the
// server pushed. A window can wait on these as well as a command line can; neither needs to
// read the console's sentences back.
namespace zelt::client {

// The flows a command starts. Each ends once its last answer has been handled, or once it
// was given up (cancelled, or its transfer abandoned with the connection it ran over).
enum class Flow {
    LogIn,           // the server accepted the log-in
    Groups,          // the user's groups arrived (ClientCore::groups())
    FileList,        // a group's file list arrived whole (the Available Files model)
    FileProperties,  // a file's properties arrived (the File Properties model)
    CheckOut,
    Fetch,
    View,
    CheckIn,
    Void,
    PasswordChange,
    Message,  // the server counted the users a message reached
    Notice,   // the log-in notice arrived, empty when there is none
};

enum class Outcome {
    Done,
    Refused,  // the server said no, or could not serve it
    Failed,   // something on this computer failed: a file that could not be read or written
};

// One file of a flow (or the one answer of a flow without files) and how it came out.
struct FlowItem {
    explicit FlowItem(Flow flow, std::string path = {}, Outcome outcome = Outcome::Done,
                      std::string line = {}, std::string localPath = {})
        : flow(flow),
          path(std::move(path)),
          outcome(outcome),
          line(std::move(line)),
          localPath(std::move(localPath)) {}

    Flow flow;
    std::string path;  // the server file; empty for a flow without files
    Outcome outcome = Outcome::Done;
    std::string serverText;  // the server's own words: a refusal's reason, the notice's text
    std::string line;        // what the console said of it
    std::string localPath;   // the copy written: the working copy, the view copy, the backup
    int count = 0;           // a message: the users it reached
};

// What the server sends unasked.
struct ServerPush {
    enum class Kind { Message, Broadcast, CheckOutVoided };
    Kind kind = Kind::Message;
    std::string sender;  // a message's
    std::string text;    // a message's or a broadcast's
    bool important = false;
    std::string path;    // the file whose check-out the administrator voided
    std::string keptAt;  // where the edited working copy of a voided file was kept, if anywhere
};

class FlowObserver {
public:
    virtual ~FlowObserver() = default;
    virtual void itemSettled(const FlowItem& item) = 0;
    virtual void flowEnded(Flow flow) = 0;
    virtual void pushReceived(const ServerPush& push) = 0;
};

// The core's side: tells every observer, in the order they were added. An observer may remove
// itself while it is told.
class FlowEvents {
public:
    void add(FlowObserver* observer) { observers_.push_back(observer); }
    void remove(FlowObserver* observer) { std::erase(observers_, observer); }

    void settled(const FlowItem& item) const {
        for (FlowObserver* o : snapshot()) o->itemSettled(item);
    }
    void ended(Flow flow) const {
        for (FlowObserver* o : snapshot()) o->flowEnded(flow);
    }
    void pushed(const ServerPush& push) const {
        for (FlowObserver* o : snapshot()) o->pushReceived(push);
    }

private:
    std::vector<FlowObserver*> snapshot() const { return observers_; }
    std::vector<FlowObserver*> observers_;
};

}  // namespace zelt::client
