// The OpenAPI 3.1 document of the JSON face (rest/openapi.json, built into
// the module).
#ifndef KXR_REST_REST_OPENAPI_H
#define KXR_REST_REST_OPENAPI_H

namespace kxr::rest {

// The document's text as it stands in rest/openapi.json.
const char* OpenApiText();

} // namespace kxr::rest

#endif
