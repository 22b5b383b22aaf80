#include "platform/net_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

int MapError(int error)
{
    switch (error) {
    case EINTR:
        return kNetInterrupted;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINPROGRESS:
        return kNetWouldBlock;
    case ECONNABORTED:
    case ECONNRESET:
    case EPIPE:
        return kNetAborted;
    default:
        return error;
    }
}

int DomainOf(NetFamily family) { return family == NetFamily::IPv6 ? AF_INET6 : AF_INET; }

// Socket address of a numeric text for the family; false when it is none.
bool MakeAddress(NetFamily family, const std::string& text, uint16_t port, sockaddr_storage* out, socklen_t* length)
{
    std::memset(out, 0, sizeof *out);
    if (family == NetFamily::IPv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(out);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        if (inet_pton(AF_INET6, text.c_str(), &in6->sin6_addr) != 1) return false;
        *length = sizeof *in6;
        return true;
    }
    auto* in4 = reinterpret_cast<sockaddr_in*>(out);
    in4->sin_family = AF_INET;
    in4->sin_port = htons(port);
    if (inet_pton(AF_INET, text.c_str(), &in4->sin_addr) != 1) return false;
    *length = sizeof *in4;
    return true;
}

} // namespace

NetFamily FamilyOfText(const std::string& text)
{
    return text.find(':') != std::string::npos ? NetFamily::IPv6 : NetFamily::IPv4;
}

int LastNetError() { return MapError(errno); }

int OpenSocket(NetFamily family, NetKind kind)
{
    int type = (kind == NetKind::Stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC;
    int fd = ::socket(DomainOf(family), type, 0);
    return fd < 0 ? kNoSocket : fd;
}

void CloseSocket(int socket)
{
    if (socket >= 0) ::close(socket);
}

void AbortConnection(int socket)
{
    if (socket < 0) return;
    const linger abort{1, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(socket);
}

bool SetNonBlocking(int socket)
{
    int flags = ::fcntl(socket, F_GETFL, 0);
    if (flags < 0) return false;
    return ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool SocketKind(int socket, NetKind* kind)
{
    int type = 0;
    socklen_t length = sizeof type;
    if (::getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) != 0) return false;
    *kind = type == SOCK_STREAM ? NetKind::Stream : NetKind::Datagram;
    return true;
}

bool SocketFamily(int socket, NetFamily* family)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    *family = address.ss_family == AF_INET6 ? NetFamily::IPv6 : NetFamily::IPv4;
    return true;
}

int PendingSocketError(int socket)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return -1;
    return error == 0 ? 0 : MapError(error);
}

int BindAny(int socket, NetFamily family, uint16_t port)
{
    sockaddr_storage address{};
    socklen_t length = 0;
    if (family == NetFamily::IPv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_any;
        in6->sin6_port = htons(port);
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
        in4->sin_family = AF_INET;
        in4->sin_addr.s_addr = htonl(INADDR_ANY);
        in4->sin_port = htons(port);
        length = sizeof *in4;
    }
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), length) == 0) return 0;
    return LastNetError();
}

uint16_t LocalPort(int socket)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

int ConnectText(int socket, NetFamily family, const std::string& address, uint16_t port)
{
    sockaddr_storage target{};
    socklen_t length = 0;
    if (!MakeAddress(family, address, port, &target, &length)) return -2;
    if (::connect(socket, reinterpret_cast<sockaddr*>(&target), length) == 0) return 0;
    return LastNetError();
}

int WaitWritable(int socket, int64_t timeoutMs)
{
    pollfd item{socket, POLLOUT, 0};
    int result = ::poll(&item, 1, static_cast<int>(timeoutMs < 0 ? -1 : timeoutMs));
    if (result < 0) return -1;
    return result == 0 ? 0 : 1;
}

long SendBytes(int socket, const void* data, std::size_t length)
{
    ssize_t sent = ::send(socket, data, length, MSG_NOSIGNAL);
    return static_cast<long>(sent);
}

long ReceiveBytes(int socket, void* buffer, std::size_t capacity)
{
    return static_cast<long>(::recv(socket, buffer, capacity, MSG_DONTWAIT));
}

Datagram ReceiveDatagram(int socket, void* buffer, std::size_t capacity)
{
    Datagram result;
    sockaddr_storage source{};
    iovec part{buffer, capacity};
    msghdr message{};
    message.msg_name = &source;
    message.msg_namelen = sizeof source;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t received = ::recvmsg(socket, &message, MSG_DONTWAIT);
    result.length = static_cast<long>(received);
    if (received < 0) return result;
    result.truncated = (message.msg_flags & MSG_TRUNC) != 0;
    if (source.ss_family == AF_INET) {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&source);
        result.sourceIPv4 = in4->sin_addr.s_addr;
        result.sourcePort = ntohs(in4->sin_port);
    } else if (source.ss_family == AF_INET6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&source);
        if (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr)) std::memcpy(&result.sourceIPv4, &in6->sin6_addr.s6_addr[12], 4);
        result.sourcePort = ntohs(in6->sin6_port);
    }
    return result;
}

long SendDatagram(int socket, NetFamily family, uint32_t ipv4, uint16_t port, const void* data, std::size_t length)
{
    sockaddr_storage target{};
    socklen_t targetLength = 0;
    if (family == NetFamily::IPv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&target);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        in6->sin6_addr.s6_addr[10] = 0xff;
        in6->sin6_addr.s6_addr[11] = 0xff;
        std::memcpy(&in6->sin6_addr.s6_addr[12], &ipv4, 4);
        targetLength = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&target);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = ipv4;
        targetLength = sizeof *in4;
    }
    return static_cast<long>(
        ::sendto(socket, data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&target), targetLength));
}

std::string IPv4ToText(uint32_t ipv4)
{
    char text[INET_ADDRSTRLEN] = {};
    in_addr address{};
    address.s_addr = ipv4;
    if (inet_ntop(AF_INET, &address, text, sizeof text) == nullptr) return {};
    return text;
}

bool TextToIPv4(const std::string& text, uint32_t* ipv4)
{
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1) return false;
    *ipv4 = address.s_addr;
    return true;
}

std::string IPv6ToText(const uint32_t words[4])
{
    in6_addr address{};
    std::memcpy(&address, words, sizeof address);
    char text[INET6_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET6, &address, text, sizeof text) == nullptr) return {};
    return text;
}

int ListenLoopback(NetFamily family, uint16_t port, int backlog)
{
    int fd = OpenSocket(family, NetKind::Stream);
    if (fd < 0) return kNoSocket;
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_storage address{};
    socklen_t length = 0;
    MakeAddress(family, family == NetFamily::IPv6 ? "::1" : "127.0.0.1", port, &address, &length);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return kNoSocket;
    }
    return fd;
}

int AcceptConnection(int socket)
{
    int fd = ::accept4(socket, nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kNoSocket : fd;
}

int PollReadable(std::vector<PollItem>& items, int64_t timeoutMs)
{
    std::vector<pollfd> polled(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        polled[i] = pollfd{items[i].socket, POLLIN, 0};
        items[i].readable = false;
        items[i].failed = false;
    }
    int result = ::poll(polled.data(), polled.size(), static_cast<int>(timeoutMs < 0 ? -1 : timeoutMs));
    if (result <= 0) return result < 0 ? -1 : 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        short events = polled[i].revents;
        items[i].readable = (events & (POLLIN | POLLHUP | POLLERR)) != 0;
        items[i].failed = (events & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
    return result;
}

PollWaker::PollWaker()
{
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return;
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
}

PollWaker::~PollWaker()
{
    if (readEnd_ >= 0) ::close(readEnd_);
    if (writeEnd_ >= 0) ::close(writeEnd_);
}

void PollWaker::Wake()
{
    if (writeEnd_ < 0) return;
    const char byte = 1;
    // A full pipe already wakes the poll.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd_, &byte, 1);
}

void PollWaker::Drain()
{
    if (readEnd_ < 0) return;
    char bytes[64];
    while (::read(readEnd_, bytes, sizeof bytes) > 0) {
    }
}

} // namespace platform
