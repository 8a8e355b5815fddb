#include "monitor/ConnCheck.h"

#include "platform/ConnectionState.h"

namespace hourlink {

bool IsOnline(ConnectionState& state) {
    return state.InternetGetConnectedState();
}

} // namespace hourlink
