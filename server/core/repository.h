#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/protocol/opcodes.h"
#include "common/protocol/packet.h"
#include "server/core/temp_files.h"
#include "server/core/version_store.h"

namespace zelt::server {

class Server;

// The requests on member files: properties, check-out and void, view and fetch transfers,
// check-in; and the version store and retention they work with.
//
// Check-out marks are locks that users rely on, so a reply that reports a changed mark goes out
// only once Groups.zelt holds the change. Writing the 8 MB table once per request would cap the
// server at about a hundred such requests a second, so the replies of one turn of the loop are
// held, the table is saved once at the end of the turn, and then they are sent.
class Repository {
public:
    explicit Repository(Server& server);
    ~Repository();
    Repository(const Repository&) = delete;
    Repository& operator=(const Repository&) = delete;

    // One request of opcodes 24 to 35 from a logged-in connection.
    void onRequest(int slot, proto::Opcode opcode, std::span<const std::uint8_t> packet);

    // Tells a user's client that the administrator voided its check-out of path. Nothing is
    // sent when that user is not logged in.
    void sendCheckOutVoided(std::string_view userName, std::string_view path);

    // The Backup Properties choices: the index in RetentionChoices of the current count (-1 when
    // it is none of them), and taking a choice on OK. An index outside the choices keeps the
    // count; either way the count is written to Backup.zelt and "Backup properties changed." is
    // shown, or an error line when the file cannot be written (then false).
    int retentionChoiceIndex() const;
    bool setRetentionFromChoice(int index);

    VersionStore& versions() { return versions_; }
    const TempFiles& tempFiles() const { return temps_; }

private:
    using SaveFailedFn = std::function<void(proto::Packet& reply)>;
    struct HeldReply {
        int slot;
        const void* connection;  // the reply is dropped if the slot was taken by another
        std::vector<std::uint8_t> bytes;
        SaveFailedFn onSaveFailed;
    };

    // Sends a reply, behind any held reply of the same connection so that answers keep the
    // order of the requests.
    void reply(int slot, const proto::Packet& packet);
    // Holds a reply until the group table is saved; onSaveFailed may rewrite it when the save
    // fails.
    void replyAfterSave(int slot, const proto::Packet& packet, SaveFailedFn onSaveFailed = {});
    void hold(int slot, const proto::Packet& packet, SaveFailedFn onSaveFailed);
    void saveAndSendHeld();

    void fileProperties(int slot, const proto::Packet& request);
    void checkOut(int slot, const proto::Packet& request);
    void voidCheckOut(int slot, const proto::Packet& request);
    // Frees the marks of path that userName holds in enabled groups; whether any was freed.
    bool releaseCheckOut(std::string_view path, std::string_view userName);
    bool holdsCheckOut(std::string_view path, std::string_view userName) const;

    void openCopy(int slot, const proto::Packet& request);
    void sendChunk(int slot, const proto::Packet& request);
    void closeCopy(int slot, const proto::Packet& request);
    // The path is a member file of an enabled group that the user belongs to.
    bool mayRead(std::string_view path, std::string_view userName) const;

    void storeChunk(int slot, const proto::Packet& request);
    void abortUpload(int slot, const proto::Packet& request);
    void commit(int slot, const proto::Packet& request);
    // The commit's work on the files; the reason of a failure, or "" when checked in.
    std::string_view checkIn(const std::string& path, const std::string& upload,
                             const std::string& userName, const std::string& comment);

    Server& server_;
    VersionStore versions_;
    TempFiles temps_;
    std::vector<HeldReply> held_;
    bool saveDue_ = false;
    bool saveDeferred_ = false;
};

}  // namespace zelt::server
