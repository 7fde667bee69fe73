// The report page of `tabulon --page`: the HTML result inside a complete
// page with the demo's stylesheet, and the logo that the table's corner cell
// shows from "logo.png" beside the page. Both assets are built into the
// command.
#ifndef TABULON_TOOLS_REPORT_PAGE_H_
#define TABULON_TOOLS_REPORT_PAGE_H_

#include <string>
#include <string_view>

namespace tabulon {

// The page: title, the input's name and the option text (escaped for HTML),
// the HTML fragment as it is, then the GridFrame text (escaped).
std::string reportPage(std::string_view inputName, std::string_view options,
                       std::string_view html, std::string_view gridFrame);

// The bytes of logo.png.
std::string_view reportLogo();

}  // namespace tabulon

#endif  // TABULON_TOOLS_REPORT_PAGE_H_
