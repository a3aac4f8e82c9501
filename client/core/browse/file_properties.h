#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/core/session/server_link.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/flow_events.h"

namespace zelt::client {

// The File Properties window: one file's group, holder and last update, as the server last
// described it.
class FileProperties {
public:
    FileProperties(ClientUi& ui, const FlowEvents& events, ServerLink& link)
        : ui_(ui), events_(events), link_(link) {}

    const FilePropertiesModel& model() const { return model_; }

    // Asks for a file's properties; nothing is sent without a group or a path.
    void request(const std::string& group, const std::string& path);
    // Shows an answer to a request of the user's; the Available Files window asks for the
    // properties of held files too, and those answers do not open this window.
    void onAnswer(const proto::Packet& p);

    // The window's buttons (Fetch File is the view copy's) and its close box.
    void refresh() { request(model_.groupName, model_.path); }
    void messageHolder();
    void close();
    void destroy();

private:
    void fill();

    struct Asked {
        std::string group;
        std::string path;
        bool operator==(const Asked&) const = default;
    };

    ClientUi& ui_;
    const FlowEvents& events_;
    ServerLink& link_;
    // The last answer, kept as received: the window is filled from it.
    std::vector<std::uint8_t> last_;
    // The user's requests not answered yet. The server says nothing about a file it no longer
    // lists, so an entry may stay; asking again for the same file adds none.
    std::vector<Asked> asked_;
    FilePropertiesModel model_;
};

}  // namespace zelt::client
