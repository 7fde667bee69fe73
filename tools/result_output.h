// writeResult: where the command's result goes. Standard output, or the file
// named by -o (created or replaced once the result is complete, so a failed
// transform leaves no file). A page or HTML table references "logo.png"
// beside it: with a file it is written (replaced) in the file's folder; a
// page on standard output gets it in the working folder unless one is
// there already. A failure prints one line on standard error.
#ifndef TABULON_TOOLS_RESULT_OUTPUT_H_
#define TABULON_TOOLS_RESULT_OUTPUT_H_

#include <string_view>

namespace tabulon {

enum class Logo { kNone, kBeside };

// Returns the exit status: 0 written; 1 standard output failed; 2 the file
// or the logo could not be written.
int writeResult(std::string_view bytes, const char* path, Logo logo);

}  // namespace tabulon

#endif  // TABULON_TOOLS_RESULT_OUTPUT_H_
