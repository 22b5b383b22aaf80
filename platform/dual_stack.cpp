#include "platform/dual_stack.h"

#include <netinet/in.h>
#include <sys/socket.h>

namespace platform {

bool AllowIPv4Mapped(int socket)
{
    int off = 0;
    return ::setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) == 0;
}

} // namespace platform
