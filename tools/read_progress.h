// Reading an input in chunks, with progress. When standard error is a
// terminal and the input is a regular file of more than 50 MB, the share
// read so far is shown on standard error, on one line that is cleared when
// the reading ends.
//
// readChunksWithProgress hands each chunk (at most 1 MiB) to a callback, so
// a table can be read into the row store without holding the whole file;
// readAllWithProgress collects the whole input into one text (charged to
// the request's memory budget) for readers that need it whole.
#ifndef TABULON_TOOLS_READ_PROGRESS_H_
#define TABULON_TOOLS_READ_PROGRESS_H_

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace tabulon {

// Reads all of `file`, calling `chunk` with each piece in order; false on a
// read error (errno is set). `name` names the input in the progress line.
bool readChunksWithProgress(std::FILE* file, const char* name,
                            const std::function<void(std::string_view)>& chunk);

// Appends all of `file` to `text`; false on a read error (errno is set).
bool readAllWithProgress(std::FILE* file, const char* name, std::string& text);

}  // namespace tabulon

#endif  // TABULON_TOOLS_READ_PROGRESS_H_
