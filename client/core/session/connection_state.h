#pragma once

namespace zelt::client {

// The one connection to the server. Connected stands both for a connection whose log-in
// request is on its way and for a logged-in one; a refused log-in goes back to NotConnected.
enum class ConnectionState { NotConnected = 0, Connected = 1, Connecting = 2 };

}  // namespace zelt::client
