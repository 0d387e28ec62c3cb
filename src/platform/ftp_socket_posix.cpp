#include <poll.h>
#include <sys/socket.h>

#include "platform/ftp_socket.h"

namespace kalvex::ftp_socket {

bool IdleConnectionAlive(curl_socket_t socket) {
  if (socket == CURL_SOCKET_BAD) return false;
  pollfd entry{socket, POLLIN, 0};
  int ready = ::poll(&entry, 1, 0);
  if (ready < 0) return false;
  if (ready == 0) return true;  // nothing pending: still open
  if (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
  // Readable while idle: either closed (0 bytes) or a reply nobody asked for, such as
  // "421 timeout"; either way the server is done with this connection.
  return false;
}

void Drop(curl_socket_t socket) {
  if (socket != CURL_SOCKET_BAD) ::shutdown(socket, SHUT_RDWR);
}

}  // namespace kalvex::ftp_socket
