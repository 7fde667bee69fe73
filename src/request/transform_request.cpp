#include "request/transform_request.h"

#include <utility>

#include "request/json_text.h"
#include "request/transform_document.h"

namespace tabulon {

std::string transformRequest(RowTable rows, std::string_view options) {
  // The model is released before the text is written, so the rows and the
  // text never coexist; the renderings are held once, in the document.
  return jsonText(transformDocument(std::move(rows), options));
}

}  // namespace tabulon
