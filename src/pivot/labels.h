// The fixed texts of the pivot model. They are part of the output format
// (the renderers write them), so they are compared and written byte for byte.
#ifndef TABULON_PIVOT_LABELS_H_
#define TABULON_PIVOT_LABELS_H_

namespace tabulon {

inline constexpr char kMeasureDimension[] = "指标维";  // measures
inline constexpr char kColumnDimension[] = "列维";    // column-side titles
inline constexpr char kColumnHeader[] = "列头";       // column member tree
inline constexpr char kRowDimension[] = "行维";       // row titles + members
inline constexpr char kMeasureTitle[] = "指标";       // all measures of a side
inline constexpr char kTotalLabel[] = "合计";         // total member
inline constexpr char kRuntimeErrorPrefix[] = "运行时产生错误:";

}  // namespace tabulon

#endif  // TABULON_PIVOT_LABELS_H_
