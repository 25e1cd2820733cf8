// The JSON face's own router: the table of its endpoints, each with its
// method, path pattern and the role it needs, and the sending of answers on
// the connection.
#ifndef KXR_REST_REST_ROUTER_H
#define KXR_REST_REST_ROUTER_H

#include <cstdint>

#include "httpd/connection_record.h"
#include "rest/rest_request.h"
#include "rest/rest_response.h"

namespace kxr::rest {

// Finds the endpoint (404 for an unknown path, 405 with an Allow line for a
// known path and another method), lets the access check refuse, runs the
// endpoint. HEAD runs the GET endpoint. Never throws: a failure inside an
// endpoint is answered with 500.
Response Answer(const Request& request);

// For a connection whose request target begins with /api/v1/: reads the
// request from the record's receive buffer, answers it and sends the answer
// (for a stream, until the stream ends). Returns the status sent.
int32_t ServeConnection(ConnectionRecord* record);

} // namespace kxr::rest

#endif
