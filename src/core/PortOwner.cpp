#include "core/PortOwner.h"

#include "common/Logging.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kListenState = 10; // TCP_LISTEN
constexpr int kReplyBuffer = 16384;

// The uids of the listening sockets of one address family on the port; nullopt when the kernel
// does not answer. A family the kernel does not know (no IPv6) lists nothing.
std::optional<QList<uint>> askKernel(int channel, int family, quint16 port)
{
    struct
    {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof(message);
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.header.nlmsg_seq = static_cast<__u32>(family);
    message.request.sdiag_family = static_cast<__u8>(family);
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = 1u << kListenState;
    if (::send(channel, &message, sizeof(message), 0) != static_cast<ssize_t>(sizeof(message)))
        return std::nullopt;

    QList<uint> uids;
    alignas(nlmsghdr) char buffer[kReplyBuffer];
    for (;;) {
        const ssize_t got = ::recv(channel, buffer, sizeof(buffer), 0);
        if (got <= 0)
            return std::nullopt;
        int left = static_cast<int>(got);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, left);
             header = NLMSG_NEXT(header, left)) {
            if (header->nlmsg_type == NLMSG_DONE)
                return uids;
            if (header->nlmsg_type == NLMSG_ERROR) {
                const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
                if (error->error == -ENOENT || error->error == 0)
                    return uids;
                return std::nullopt;
            }
            if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
                header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                continue;
            const auto* row = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
            if (row->idiag_state == kListenState && ntohs(row->id.idiag_sport) == port)
                uids << row->idiag_uid;
        }
    }
}

std::optional<QList<uint>> fromKernel(quint16 port)
{
    const int channel = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (channel < 0)
        return std::nullopt;
    timeval bound{1, 0}; // nothing waits without a bound
    ::setsockopt(channel, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof(bound));
    std::optional<QList<uint>> uids = QList<uint>();
    for (int family : {AF_INET, AF_INET6}) {
        const std::optional<QList<uint>> found = askKernel(channel, family, port);
        if (!found) {
            uids.reset();
            break;
        }
        *uids += *found;
    }
    ::close(channel);
    return uids;
}

std::optional<QByteArray> readTable(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray text;
    char chunk[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, chunk, sizeof(chunk))) > 0)
        text.append(chunk, got);
    ::close(fd);
    if (got < 0)
        return std::nullopt;
    return text;
}

} // namespace

namespace portowner {

QList<uint> listenersInTable(const QByteArray& table, quint16 port)
{
    const QByteArray wanted = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    QList<uint> uids;
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' '); // sl local remote st ... uid
        if (fields.size() < 8 || fields[3] != "0A")
            continue;
        const qsizetype colon = fields[1].lastIndexOf(':');
        if (colon < 0 || fields[1].mid(colon + 1) != wanted)
            continue;
        bool ok = false;
        const uint uid = fields[7].toUInt(&ok);
        if (ok)
            uids << uid;
    }
    return uids;
}

std::optional<QList<uint>> listeners(quint16 port)
{
    if (auto found = fromKernel(port))
        return found;
    qCInfo(lcCore) << "socket diagnostics unavailable; reading /proc/net/tcp";
    std::optional<QList<uint>> uids;
    for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        if (const auto text = readTable(path)) {
            uids = uids.value_or(QList<uint>()) + listenersInTable(*text, port);
        }
    }
    return uids;
}

std::optional<CoreServiceError> checkOwnCore(quint16 port, const Lookup& lookup, uint uid)
{
    const std::optional<QList<uint>> found = lookup(port);
    if (!found || found->isEmpty())
        return CoreServiceError::unknownCoreOwner(port);
    QList<uint> others;
    for (uint owner : *found) {
        if (owner != uid && !others.contains(owner))
            others << owner;
    }
    if (!others.isEmpty())
        return CoreServiceError::foreignCore(port, others);
    return std::nullopt;
}

std::function<std::optional<QString>(quint16 port)> ownAccountCheck()
{
    const uint uid = ::geteuid();
    return [uid](quint16 port) -> std::optional<QString> {
        if (const auto refusal = checkOwnCore(port, listeners, uid)) {
            qCWarning(lcCore) << "not using the program on port" << port << ":" << refusal->description();
            return refusal->description();
        }
        return std::nullopt;
    };
}

} // namespace portowner
