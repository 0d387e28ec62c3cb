// Whether an idle control connection is still open: the peer has neither closed it
// nor sent anything unasked (an idle FTP server only speaks to say goodbye).
#pragma once

#include <curl/curl.h>

namespace kalvex::ftp_socket {

bool IdleConnectionAlive(curl_socket_t socket);

}  // namespace kalvex::ftp_socket
