#include "ConnCheck.h"

#include "ConnectionState.h"

namespace hourlink {

bool IsOnline(ConnectionState& state) {
    return state.InternetGetConnectedState();
}

} // namespace hourlink
