#pragma once
// Listening sockets for the test servers.

namespace tavelin::test {

/// A listening TCP socket on 127.0.0.1 and a free port (written to `port`); -1 on failure.
int listen_on_loopback(int& port, int backlog = 64);

} // namespace tavelin::test
