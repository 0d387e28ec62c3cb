// The few socket calls of the FTP sessions that libcurl does not offer.
#pragma once

#include <curl/curl.h>

namespace kalvex::ftp_socket {

// Whether an idle control connection is still open: the peer has neither closed it
// nor sent anything unasked (an idle FTP server only speaks to say goodbye).
bool IdleConnectionAlive(curl_socket_t socket);

// Ends the connection in both directions at once, as the end of the process would:
// nothing more can be sent on it (no QUIT) and nothing is waited for.
void Drop(curl_socket_t socket);

}  // namespace kalvex::ftp_socket
