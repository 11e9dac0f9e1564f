// A socket of the tests' own on 127.0.0.1 with a free port, so that nothing leaves the machine.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mw::test {

// SOCK_STREAM sockets also listen. Answers the descriptor (-1 on failure) and sets port.
inline int BindLoopbackSocket(int type, int& port) {
    const int fd = ::socket(AF_INET, type, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (type == SOCK_STREAM && ::listen(fd, 4) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace mw::test
