// TCP and UDP sockets, IPv4 and IPv6, and waiting on many of them at once.
//
// Sockets are plain descriptors; -1 means "no socket". Every send suppresses
// the broken-pipe signal. Failures give the error numbers that the network
// code compares, with the few that matter mapped to the numbers of the system
// this client was written for (kNetInterrupted, kNetWouldBlock, kNetAborted);
// other errors keep their own numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

constexpr int kNoSocket = -1;

constexpr int kNetInterrupted = 10004;
constexpr int kNetWouldBlock = 10035;  // also: a connect in progress
constexpr int kNetAborted = 10053;     // aborted, reset or broken pipe

enum class NetFamily { IPv4, IPv6 };
enum class NetKind { Stream, Datagram };

// The family an address text names: a colon means IPv6.
NetFamily FamilyOfText(const std::string& text);

// The calling thread's last socket error, mapped as above.
int LastNetError();

int OpenSocket(NetFamily family, NetKind kind);
void CloseSocket(int socket);
// Closes with a reset instead of an orderly shutdown: the peer's next send
// or receive fails as aborted.
void AbortConnection(int socket);
bool SetNonBlocking(int socket);
// SOCK_STREAM / SOCK_DGRAM as NetKind; false when the query fails.
bool SocketKind(int socket, NetKind* kind);
// The family a socket was created with; false when the query fails.
bool SocketFamily(int socket, NetFamily* family);
// The pending error of a socket (0 none), mapped; -1 when the query fails.
int PendingSocketError(int socket);

// Binds to the wildcard address of the family; 0 or the mapped error.
int BindAny(int socket, NetFamily family, uint16_t port);
// The local port a socket is bound to, or 0.
uint16_t LocalPort(int socket);

// Starts or makes a connection to a numeric address text of the family.
// 0 when connected, kNetWouldBlock when a non-blocking connect is under way,
// another error number when it failed, and -2 when the text is not an address
// of that family.
int ConnectText(int socket, NetFamily family, const std::string& address, uint16_t port);

// Waits until the socket can be written; 1 ready, 0 time-out, -1 failure.
int WaitWritable(int socket, int64_t timeoutMs);

// Bytes sent, or -1 (LastNetError tells why). Never raises SIGPIPE.
long SendBytes(int socket, const void* data, std::size_t length);
// Bytes received, 0 when the peer closed, or -1. Never waits: nothing to
// read gives -1 with kNetWouldBlock.
long ReceiveBytes(int socket, void* buffer, std::size_t capacity);

struct Datagram {
    long length = -1;         // bytes received, or -1
    uint32_t sourceIPv4 = 0;  // network order; 0 for an IPv6 source that is not IPv4-mapped
    uint16_t sourcePort = 0;
    bool truncated = false;   // the datagram was longer than the buffer
};
// One datagram, without waiting.
Datagram ReceiveDatagram(int socket, void* buffer, std::size_t capacity);

// Sends to an IPv4 address (network order). On an IPv6 socket the address
// goes out as the IPv4-mapped address ::ffff:a.b.c.d.
long SendDatagram(int socket, NetFamily family, uint32_t ipv4, uint16_t port, const void* data, std::size_t length);

// Dotted text of an IPv4 address in network order, and back (false when the
// text is not a dotted IPv4 address).
std::string IPv4ToText(uint32_t ipv4);
bool TextToIPv4(const std::string& text, uint32_t* ipv4);
// Text of an IPv6 address given as four 32-bit words in network order.
std::string IPv6ToText(const uint32_t words[4]);

// A listening TCP socket on loopback (port 0 picks one), or -1.
int ListenLoopback(NetFamily family, uint16_t port, int backlog);
// The next connection of a listening socket, or -1.
int AcceptConnection(int socket);

// Readiness of many sockets at once.
struct PollItem {
    int socket = kNoSocket;
    bool readable = false;  // out: data, or the peer closed, or an error waits
    bool failed = false;    // out: hang-up or error on the socket
};
// The number of ready items, 0 on time-out, -1 on failure.
int PollReadable(std::vector<PollItem>& items, int64_t timeoutMs);

// Ends a PollReadable wait from another thread: its descriptor goes into the
// polled items and turns readable on Wake until Drain.
class PollWaker {
public:
    PollWaker();
    ~PollWaker();
    PollWaker(const PollWaker&) = delete;
    PollWaker& operator=(const PollWaker&) = delete;

    bool ok() const { return readEnd_ >= 0; }
    // The descriptor to poll, or kNoSocket when it could not be made.
    int Descriptor() const { return readEnd_; }
    void Wake();
    void Drain();

private:
    int readEnd_ = kNoSocket;
    int writeEnd_ = kNoSocket;
};

} // namespace platform
