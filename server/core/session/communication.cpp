#include "server/core/session/communication.h"

#include "common/limits.h"
#include "common/platform/descriptors.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

Communication::Communication(Reactor& reactor, Console& console, AdminUi& ui, SlotTable& slots)
    : console_(console),
      ui_(ui),
      slots_(slots),
      acceptFailures_(
          reactor,
          [this] { console_.error(text::format(text::AcceptFailed, lastAcceptError_)); },
          [this](int count) { console_.error(text::format(text::AcceptFailures, count)); }) {
    slots_.onAcceptFailed = [this](int error) {
        lastAcceptError_ = error;
        acceptFailures_.happened();
    };
}

void Communication::sizeTable() {
    const std::size_t allowed = descriptors::raiseLimit();
    slots_.limitTo(allowed > DescriptorReserve ? allowed - DescriptorReserve : 1);
    if (slots_.usable() < slots_.capacity()) {
        console_.plain(text::format(text::ConnectionsLimited, static_cast<int>(slots_.usable()),
                                    static_cast<int>(allowed)));
    }
}

bool Communication::open(std::uint16_t port) {
    sizeTable();
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
