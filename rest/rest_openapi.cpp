#include "rest/rest_openapi.h"

#include "rest/rest_handlers.h"

namespace kxr::rest {

Response HandleOpenApi(const Request& /*request*/, const Captures& /*captures*/) {
    // Read once: the document never changes while the module is loaded.
    static const Json document = Json::parse(OpenApiText(), nullptr, false);
    if (document.is_discarded())
        return Problem(500, "The built-in OpenAPI document is not JSON.");
    return JsonResponse(document);
}

} // namespace kxr::rest
