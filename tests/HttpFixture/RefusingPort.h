#pragma once

#include <QtGlobal>

// A loopback port that refuses every connection for as long as this object lives. A port found
// free and let go could be taken at once by a server of a test running beside this one; this one
// stays bound (without listening), so no other socket can take it and connecting is refused.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    quint16 port() const { return m_port; }

private:
    int m_socket = -1;
    quint16 m_port = 0;
};
