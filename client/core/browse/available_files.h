#pragma once

#include <string>
#include <vector>

#include "client/core/browse/file_properties.h"
#include "client/core/session/server_link.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/flow_events.h"
#include "common/console/console.h"

namespace zelt::client {

// The user's groups as console lines, and one group's file list in the Available Files
// window, asked for page by page.
class AvailableFiles {
public:
    AvailableFiles(Console& console, ClientUi& ui, const FlowEvents& events, ServerLink& link,
                   FileProperties& properties)
        : console_(console), ui_(ui), events_(events), link_(link), properties_(properties) {}

    const AvailableFilesModel& model() const { return model_; }
    // The user's groups as the server last listed them.
    const std::vector<std::string>& groups() const { return groups_; }
    // The paths of the selected rows, in list order.
    std::vector<std::string> selectedPaths() const;

    void requestGroups();
    void onGroupList(const proto::Packet& p);
    // A group's line executed: its files, when connected.
    void openGroup(const std::string& group);
    void onFileList(const proto::Packet& p);
    // Any file properties answer: a listed row takes its holder and check-out time.
    void onProperties(const proto::Packet& p);

    // The window's controls.
    void select(std::vector<int> rows);
    void refresh();
    void requestSelectedProperties();
    void close();
    void destroy();
    // The buttons follow the connection.
    void connectionChanged();

private:
    static constexpr int kFirstPages = 8;

    void requestFileList(const std::string& group);
    // With requests in flight: asks for up to n more pages of the list being fetched.
    void askPages(int n);
    void fill();
    // Asks, one file after another, when each held file of the list was checked out.
    void lookUpCheckOutTimes();
    void update();

    struct Entry {
        std::string path;
        std::string holder;
    };

    Console& console_;
    ClientUi& ui_;
    const FlowEvents& events_;
    ServerLink& link_;
    FileProperties& properties_;
    std::vector<std::string> groups_;
    std::string listGroup_;
    std::vector<Entry> fileList_;
    // With requests in flight, pages are asked for ahead: the group and start of the next page
    // to ask for, the pages asked and not answered, the answers still to come for a list given
    // up, and whether the list being fetched has not reached its end yet.
    std::string pagesGroup_;
    std::int32_t nextStart_ = 0;
    int pagesInFlight_ = 0;
    int stalePages_ = 0;
    bool listing_ = false;
    AvailableFilesModel model_;
};

}  // namespace zelt::client
