#pragma once

#include "core/CoreServiceError.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

// Which accounts of this machine listen on a TCP port, and whether the program razo talks to on
// the core's port is this account's own.
//
// Any account can listen on a free port; when no core runs (before razo starts it, after it
// stopped), another account could answer on the core's port like a ready core and receive the
// settings and the questions razo sends. So razo looks at the owner of the listening socket
// before it writes anything to a connection (see BridgeAPI): only its own account's core is used.
namespace portowner {

// The uids of the sockets listening on `port` (IPv4 and IPv6); nullopt when they cannot be read.
using Lookup = std::function<std::optional<QList<uint>>(quint16 port)>;

// The kernel's socket diagnostics (NETLINK_SOCK_DIAG), one query per address family for the
// listening sockets alone; /proc/net/tcp and tcp6 where those do not answer.
std::optional<QList<uint>> listeners(quint16 port);

// The uids of the LISTEN rows for `port` in the text of /proc/net/tcp or tcp6.
QList<uint> listenersInTable(const QByteArray& table, quint16 port);

// nullopt when something listens on `port` and every listener belongs to `uid`; otherwise the
// error to show: another account's program (with its uid), or an owner that cannot be found
// (nothing could be read, or nothing listens), which is refused as well.
std::optional<CoreServiceError> checkOwnCore(quint16 port, const Lookup& lookup, uint uid);

// The check for this process: the real lookup and this process's effective uid; returns the
// refusal's text, as BridgeAPI takes it.
std::function<std::optional<QString>(quint16 port)> ownAccountCheck();

} // namespace portowner
