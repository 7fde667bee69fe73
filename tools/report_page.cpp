#include "report_page.h"

#include <cstddef>

namespace tabulon {

extern const unsigned char kReportCss[];
extern const std::size_t kReportCssSize;
extern const unsigned char kReportLogo[];
extern const std::size_t kReportLogoSize;

namespace {

void appendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
}

}  // namespace

std::string reportPage(std::string_view inputName, std::string_view options,
                       std::string_view html, std::string_view gridFrame) {
  std::string page;
  page.reserve(html.size() + kReportCssSize + 512);
  page += "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
          "<title>Tabulon report</title>\n<style>\n";
  page.append(reinterpret_cast<const char*>(kReportCss), kReportCssSize);
  page += "</style>\n</head>\n<body>\n<h1>Tabulon report</h1>\n<p>File: <code>";
  appendEscaped(page, inputName);
  page += "</code><br>\nOptions: <code>";
  appendEscaped(page, options);
  page += "</code></p>\n";
  page += html;
  page += "<p>GridFrame: <code>";
  appendEscaped(page, gridFrame);
  page += "</code></p>\n</body>\n</html>\n";
  return page;
}

std::string_view reportLogo() {
  return {reinterpret_cast<const char*>(kReportLogo), kReportLogoSize};
}

}  // namespace tabulon
