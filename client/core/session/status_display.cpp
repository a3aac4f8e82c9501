#include "client/core/session/status_display.h"

#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"

namespace zelt::client {

void printCheckOutLine(Console& console, const CheckOutTable& table) {
    const int count = table.checkedOutCount();
    if (count == 0) {
        console.plain(text::NoFileCheckedOut);
        return;
    }
    console.function(std::string(text::YouCheckedOut) + " " + std::to_string(count) + " " +
                         std::string(text::Files),
                     tag::ShowCheckOuts);
}

void printStatus(Console& console, ConnectionState state, const std::string& userName,
                 const CheckOutTable& table) {
    console.plain(text::StatusHeader);
    switch (state) {
        case ConnectionState::Connected:
            console.plain(quotedLine(text::ConnectedAs, userName));
            break;
        case ConnectionState::Connecting:
            console.plain(text::ConnectingInProcess);
            break;
        case ConnectionState::NotConnected:
            console.plain(text::NotConnected);
            break;
    }
    printCheckOutLine(console, table);
}

void printManual(Console& console) {
    console.plain(text::ManualHeader);
    console.function(text::ManualAddress, tag::OpenWeb);
}

}  // namespace zelt::client
