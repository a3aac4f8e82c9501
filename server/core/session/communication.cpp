#include "server/core/session/communication.h"

#include "server/core/ui/texts.h"

namespace zelt::server {

Communication::Communication(Console& console, AdminUi& ui, SlotTable& slots)
    : console_(console), ui_(ui), slots_(slots) {
    slots_.onFull = [this] {
        console_.error(text::ConnectionFull);
        // A user is being turned away: worth telling an administrator who is looking elsewhere.
        ui_.notifyAdministrator(std::string(text::ConnectionFull));
    };
    slots_.onAcceptFailed = [this](int error) {
        console_.error(text::format(text::AcceptFailed, error));
    };
}

bool Communication::open(std::uint16_t port) {
    switch (slots_.listen(port).failedAt) {
        case tcp::ListenStep::None:
            ui_.listeningChanged(true);
            return true;
        case tcp::ListenStep::Socket:
            console_.error(text::SocketFailedSocket);
            break;
        case tcp::ListenStep::Bind:
            console_.error(text::SocketFailedBind);
            break;
        case tcp::ListenStep::GetSockName:
            console_.error(text::SocketFailedGetSockName);
            break;
        case tcp::ListenStep::Select:
            console_.error(text::SocketFailedSelect);
            break;
        case tcp::ListenStep::Listen:
            console_.error(text::SocketFailedListen);
            break;
    }
    return false;
}

void Communication::close(bool withLines) {
    const bool wasListening = slots_.listening();
    slots_.closeListener();
    slots_.freeAll();
    if (withLines) {
        console_.important(text::CommunicationClosed);
        console_.function(text::CloseServer, tag::CloseServer);
    }
    if (wasListening) ui_.listeningChanged(false);
}

}  // namespace zelt::server
