// The transform request without the JVM: the rows of a result set (row 0 =
// column names; empty when the result set had no row) and the option text
// in, the JSON result text out. The JNI doTransform and the `tabulon`
// command both call this.
#ifndef TABULON_REQUEST_TRANSFORM_REQUEST_H_
#define TABULON_REQUEST_TRANSFORM_REQUEST_H_

#include <string>
#include <string_view>

#include "pivot/row_table.h"

namespace tabulon {

// Moves `rows` with the options into a fresh CrossTab's transform and
// returns
// {"req":{...},"ret":{"GridFrame":...,"Html":...}} followed by one LF.
std::string transformRequest(RowTable rows, std::string_view options);

}  // namespace tabulon

#endif  // TABULON_REQUEST_TRANSFORM_REQUEST_H_
