#include "RefusingPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

RefusingPort::RefusingPort()
    : m_socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        qFatal("RefusingPort: no loopback port could be bound");
    m_port = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort()
{
    if (m_socket >= 0)
        ::close(m_socket);
}
