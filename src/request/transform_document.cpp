#include "request/transform_document.h"

#include <string>
#include <utility>

#include "pivot/cross_tab.h"
#include "pivot/labels.h"
#include "render/grid_frame.h"
#include "render/html_table.h"
#include "request/options.h"

namespace tabulon {

namespace {

// Stores `text` under `key` of `object` as a string of the same bytes.
void setText(Json::Value& object, const char* key, const std::string& text) {
  object[key] = Json::Value(text.data(), text.data() + text.size());
}

}  // namespace

Json::Value transformDocument(RowTable rows, std::string_view options) {
  Json::Value root(Json::objectValue);
  CrossTab tab;

  const RequestOptions values = readOptions(options);
  applyOptions(values, tab);

  // The echo holds the values as looked up, applied or not; RowColSort is
  // applied but not echoed.
  Json::Value req(Json::objectValue);
  setText(req, "Measures", values.measures);
  setText(req, "GridFrame", values.gridFrame);
  setText(req, "SumOption", values.sumOption);
  setText(req, "SumPos", values.sumPos);
  setText(req, "Separate", values.separate);
  root["req"] = std::move(req);

  // The rows move into the model: a large table is never copied.
  const std::string measures = root["req"]["Measures"].asString();
  tab.transformRows(std::move(rows), measures);

  Json::Value& ret = root["ret"];
  ret = Json::Value(Json::objectValue);
  {
    const std::string gridFrame = renderGridFrame(tab);
    setText(ret, "GridFrame", gridFrame);
  }
  {
    // The GridFrame text is always made before the HTML.
    const std::string html = renderHtml(tab);
    setText(ret, "Html", html);
  }
  return root;
}

}  // namespace tabulon
