#include "render/grid_frame.h"

namespace tabulon {

// Placeholder until the GridFrame writer and reader land.
std::string renderGridFrame(const CrossTab&) { return "row:[],col:[]"; }
std::string gridFrameSide(const CrossTab&, const DimNode*, bool, std::string_view) { return "[]"; }
void applyGridFrame(CrossTab&, std::string_view) {}
void parseGridFrameSide(DimNode*, std::string_view) {}

}  // namespace tabulon
