#pragma once

namespace hourlink {

class ConnectionState;

// The probe: true exactly when the system says an internet connection is up, of whatever kind.
[[nodiscard]] bool IsOnline(ConnectionState& state);

} // namespace hourlink
