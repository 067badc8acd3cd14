#include "nntp/WinsockErrors.h"

namespace WinsockErrors {

int FromSocketError(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionRefusedError:
        return kRefused;
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::ProxyConnectionClosedError:
        return 10054; // connection reset by peer
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ProxyNotFoundError:
        return kHostNotFound;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return kNoBuffers;
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return kTimedOut;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        return 10051; // network unreachable
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10047; // address family not supported
    case QAbstractSocket::UnfinishedSocketOperationError:
        return 10036; // operation in progress
    case QAbstractSocket::TemporaryError:
        return kWouldBlock;
    default:
        return kAborted;
    }
}

int FromLookupError(QHostInfo::HostInfoError error) {
    switch (error) {
    case QHostInfo::NoError:
        return 0;
    case QHostInfo::HostNotFound:
        return kHostNotFound;
    default:
        return 11003; // non-recoverable lookup failure
    }
}

} // namespace WinsockErrors
