// Placeholder until request handling lands.
#include "request/transform_request.h"

namespace tabulon {

std::string transformRequest(RowTable, std::string_view) { return "{}\n"; }

}  // namespace tabulon
