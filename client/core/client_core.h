#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "client/core/client_ui.h"
#include "client/core/forms.h"
#include "client/core/local_state.h"
#include "client/core/models.h"
#include "common/console/console.h"
#include "common/platform/reactor.h"
#include "common/protocol/connection.h"
#include "common/protocol/packet.h"

namespace zelt::client {

struct ClientOptions {
    PlaceOptions places;  // --data-dir and --user-dir
    // Opens a file, folder or address as the desktop does; shell-style result codes.
    std::function<int(const std::string&)> shellOpen;
};

// The commands of the client's menus and toolbar.
enum class ClientCommand {
    Connect,
    Disconnect,
    AccountProperties,
    Close,
    Status,
    YourGroups,
    WorkingFiles,
    WorkingFolder,
    BackupFolder,
    MessageNew,
    Legends,
    Manual,
    Execute,
};

// The whole client without its windows: local state, the one connection to the server, the
// console, every command and every answer. It runs on one reactor and owns its timers
// (1: start-up, 4: ask for the notice, 6: keep-alive watch).
class ClientCore {
public:
    static constexpr int kStartUpTimer = 1;
    static constexpr int kNoticeTimer = 4;
    static constexpr int kKeepAliveTimer = 6;
    static constexpr Millis kStartUpDelay = 500;
    static constexpr Millis kNoticeDelay = 2000;
    static constexpr Millis kKeepAlivePeriod = 20000;
    // A chunk that arrives damaged this many times in a row ends its transfer.
    static constexpr int kMaxBadChunks = 10;

    ClientCore(Reactor& reactor, ClientUi& ui, ClientOptions options = {});
    ~ClientCore();
    ClientCore(const ClientCore&) = delete;
    ClientCore& operator=(const ClientCore&) = delete;

    // Arms the start-up timer; the start-up then opens the Log-in dialog.
    void start();

    Console& console() { return console_; }
    const Console& console() const { return console_; }
    ConnectionState connectionState() const { return state_; }
    int keepAliveState() const { return keepAlive_; }
    const ClientPlaces& places() const { return places_; }
    const CommSettings& commSettings() const { return comm_; }
    const CheckOutTable& checkOutTable() const { return table_; }
    const std::string& lastError() const { return lastError_; }
    bool fetching() const { return fetchFlag_; }
    const AvailableFilesModel& availableFiles() const { return available_; }
    const FilePropertiesModel& fileProperties() const { return properties_; }
    const FileTransferModel& fileTransfer() const { return transferView_; }
    const WorkingFilesModel& workingFiles() const { return working_; }

    // Commands.
    bool commandEnabled(ClientCommand command) const;
    void runCommand(ClientCommand command);
    void connect();
    void disconnect();
    void accountProperties();
    void closeClient();
    void showStatus();
    void yourGroups();
    void showWorkingFiles();
    void openFolder(const std::string& folder);
    void newMessage();
    void showManual();
    // Runs the function of a console line; returns whether one ran.
    bool executeLine(int index);
    // The main window's close box: returns whether the window may close now.
    bool windowCloseRequested();
    // The user's session ends: the connection goes without further words.
    void endSession();
    // The Send Message window's Send, after its own checks.
    void sendMessage(const MessageForm& form);

    // Available Files window.
    void selectAvailableFiles(std::vector<int> rows);
    void refreshAvailableFiles();
    void requestSelectedProperties();
    void checkOutSelected();
    void closeAvailableFiles();

    // File Properties window.
    void refreshFileProperties();
    void viewFile();
    void messageHolder();
    void closeFileProperties();

    // File Transfer window: Cancel or its close box.
    void cancelTransfer();

    // Working Files window.
    void selectWorkingFiles(std::vector<int> rows);
    void fetchSelected();
    void openSelected();
    void checkInSelected();
    void voidSelected();
    void closeWorkingFiles();

private:
    enum class TransferKind { None, View, Fetch, CheckIn };
    struct Transfer {
        std::string path;
        std::string tempPath;
        std::int64_t size = 0;
        std::int64_t received = 0;
        bool cancel = false;
        int badChunks = 0;  // damaged answers in a row for the chunk now asked for
    };
    struct FileListEntry {
        std::string path;
        std::string holder;
    };
    struct FetchEntry {
        int record = CheckOutTable::kNone;
        std::string path;
        std::string tempPath;
        std::string target;  // the working copy being written; empty when it cannot be named
    };
    struct CheckInEntry {
        std::string path;
        std::string workingPath;
        std::string uploadName;
        int record = CheckOutTable::kNone;
        std::int64_t nextOffset = 0;
    };
    struct CommentState {
        std::string text;
        bool apply = false;
    };

    // Start-up and connection (client_core.cpp).
    void startUp();
    void connectProcedure();
    void onConnectEvent();
    void onConnected(Handle handle);
    void onPacket(std::span<const std::uint8_t> bytes);
    void onClosedByServer();
    void dropConnection();
    void setState(ConnectionState state);
    bool send(const proto::Packet& packet);
    bool requireConnected();
    void saveComm();
    void saveTable();
    void alert();
    void onLogin(const proto::Packet& p);
    void onKeepAliveTick();
    void onNoticeTimer();
    void disconnectAndOfferClose();
    void disconnectNow();
    void printCheckOutLine();
    void destroyToolWindows();
    void onBroadcast(const proto::Packet& p);
    void onPasswordChanged(const proto::Packet& p);
    void onNotice(const proto::Packet& p);
    void onMessage(const proto::Packet& p);
    void onMessageCount(const proto::Packet& p);
    void reply(const std::string& lineText);
    void openWithShell(const std::string& path);

    // Groups and file lists (client_browse.cpp).
    void onGroupList(const proto::Packet& p);
    void requestFileList(const std::string& group);
    void onFileList(const proto::Packet& p);
    void fillAvailableFiles();
    void requestProperties(const std::string& group, const std::string& path);
    void onFileProperties(const proto::Packet& p);
    void fillFileProperties();
    void availableFilesUpdated();

    // Check-out, view and fetch (client_transfer.cpp).
    void checkOutLoop(int from);
    void onCheckOut(const proto::Packet& p);
    void startView(const std::string& path);
    void onViewOpen(const proto::Packet& p);
    void requestViewChunk();
    void onViewChunk(const proto::Packet& p);
    void startFetch(const std::vector<int>& rows);
    void fetchLoop();
    void nextFetch();
    void onFetchOpen(const proto::Packet& p);
    void requestFetchChunk();
    void onFetchChunk(const proto::Packet& p);
    void onCheckOutVoided(const proto::Packet& p);
    bool transferBusy();
    bool acceptBadChunk();
    // Whether an answer's request tag names an entry of the transfer list now running.
    bool answersTransfer(TransferKind kind, int tag, std::size_t listSize) const;
    void releaseServerCopy(proto::Opcode close, const std::string& tempPath);
    void openTransferWindow(const std::string& path, std::int64_t size);
    void advanceProgress();
    void hideTransferWindow();
    void endTransfers();
    bool appendChunk(const std::string& file, std::span<const std::uint8_t> data, bool* opened);
    void clearRecord(int index);
    std::string keepVoidedCopy(const std::string& workingPath);

    // Working files, check-in and void (client_checkin.cpp).
    void fillWorkingFiles();
    void showWorkingFilesWindow();
    void workingFilesUpdated();
    int recordOfRow(int row) const;
    std::string uploadName(const std::string& workingPath) const;
    void checkInLoop();
    void sendCheckInChunk();
    void onCheckInChunk(const proto::Packet& p);
    void commitCheckIn();
    void onCheckIn(const proto::Packet& p);
    void voidLoop(int from);
    void onVoidCheckOut(const proto::Packet& p);

    Reactor& reactor_;
    ClientUi& ui_;
    ClientOptions options_;
    Console console_;
    std::vector<TagAction> tags_;

    ClientPlaces places_;
    CommSettings comm_;
    CheckOutTable table_;
    std::string lastError_;

    ConnectionState state_ = ConnectionState::NotConnected;
    int keepAlive_ = 1;
    Handle connecting_ = kNoHandle;
    std::unique_ptr<proto::Connection> connection_;
    // A connection closed from inside one of its own handlers lives on until the next one
    // is dropped, so the handler can return through it.
    std::unique_ptr<proto::Connection> retired_;

    std::string listGroup_;
    std::vector<FileListEntry> fileList_;
    std::vector<std::uint8_t> lastProperties_;

    TransferKind transferKind_ = TransferKind::None;
    Transfer transfer_;
    std::vector<FetchEntry> fetchList_;
    int fetchIndex_ = 0;
    bool fetchFlag_ = false;
    std::vector<CheckInEntry> checkInList_;
    int checkInIndex_ = 0;
    CommentState comment_;
    std::vector<std::string> voidList_;

    AvailableFilesModel available_;
    FilePropertiesModel properties_;
    FileTransferModel transferView_;
    WorkingFilesModel working_;
};

}  // namespace zelt::client
