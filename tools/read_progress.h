// readAllWithProgress: reads a whole input into memory. When standard error
// is a terminal and the input is a regular file of more than 50 MB, it shows
// the share read so far on standard error, on one line that it clears when
// done.
#ifndef TABULON_TOOLS_READ_PROGRESS_H_
#define TABULON_TOOLS_READ_PROGRESS_H_

#include <cstdio>
#include <string>

namespace tabulon {

// Appends all of `file` to `text`; false on a read error (errno is set).
// `name` names the input in the progress line.
bool readAllWithProgress(std::FILE* file, const char* name, std::string& text);

}  // namespace tabulon

#endif  // TABULON_TOOLS_READ_PROGRESS_H_
