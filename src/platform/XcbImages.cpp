#include "platform/XcbImages.h"

#include <QByteArray>
#include <QtGlobal>

namespace hourlink {

namespace {
constexpr char kNoSharedMemory[] = "QT_XCB_NO_MITSHM";
} // namespace

XcbImagesThroughSocket::XcbImagesThroughSocket() : m_set(!qEnvironmentVariableIsSet(kNoSharedMemory)) {
    if (m_set) {
        qputenv(kNoSharedMemory, QByteArray("1"));
    }
}

XcbImagesThroughSocket::~XcbImagesThroughSocket() {
    if (m_set) {
        qunsetenv(kNoSharedMemory);
    }
}

} // namespace hourlink
