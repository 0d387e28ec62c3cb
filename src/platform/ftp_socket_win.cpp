#include <winsock2.h>

#include "platform/ftp_socket.h"

namespace kalvex::ftp_socket {

bool IdleConnectionAlive(curl_socket_t socket) {
  if (socket == CURL_SOCKET_BAD) return false;
  WSAPOLLFD entry{socket, POLLRDNORM, 0};
  int ready = ::WSAPoll(&entry, 1, 0);
  if (ready < 0) return false;
  // Readable while idle means closed or an unasked reply such as "421 timeout".
  return ready == 0;
}

void Drop(curl_socket_t socket) {
  if (socket != CURL_SOCKET_BAD) ::shutdown(socket, SD_BOTH);
}

}  // namespace kalvex::ftp_socket
