// tabulon: the transform request as a command, for a table in a CSV or TSV
// file instead of a JDBC result set, and for scripts.
//
//   tabulon [--options TEXT] [--html | --gridframe] [FILE]
//
// Reads the table from FILE (or standard input), parses it as the engine
// parses text tables, runs the same request as the Java call and prints the
// JSON result text, or with --html / --gridframe that one rendering, raw.
// Exit status: 0 done, 1 the transform failed, 2 bad command line or input
// that cannot be read.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pivot/text_table_reader.h"
#include "request/transform_document.h"
#include "request/transform_request.h"

namespace {

constexpr char kHelp[] =
    "Usage: tabulon [--options TEXT] [--html | --gridframe] [FILE]\n"
    "\n"
    "Arranges a table as a cross-tab and prints the JSON result text\n"
    "  {\"req\":{...the options as read...},\"ret\":{\"GridFrame\":...,\"Html\":...}}\n"
    "\n"
    "FILE (standard input when absent or \"-\") holds one row per line: the\n"
    "column names, then the data rows. Fields are separated by TAB; a line of\n"
    "more than 10 bytes that has no TAB but a comma switches it and every later\n"
    "line to commas. Fields are taken as they are: no quotes, no trimming.\n"
    "The column named \"|\" divides the row dimensions (left of it) from the\n"
    "column dimensions (right of it).\n"
    "\n"
    "Options:\n"
    "  --options TEXT  key=value pairs joined by \"&\" (a value ends at the next \"&\"):\n"
    "                    Measures=A,B     the columns whose values fill the cells\n"
    "                    SumOption=WORD   totals: SumNone, SumIncRow, SumIncCol or\n"
    "                                     SumIncRowCol\n"
    "                    SumPos=WORD      SumFirst or SumLast: totals before or after\n"
    "                    RowColSort=TEXT  row members are sorted when TEXT has \"Row\"\n"
    "                    Separate=NAME    the dividing column's name (default \"|\")\n"
    "                    GridFrame=TEXT   a layout printed by --gridframe: fixes the\n"
    "                                     row titles and the column header tree\n"
    "                  Words are case-sensitive; unknown keys or words are ignored\n"
    "                  and leave the defaults.\n"
    "  --html          print only the HTML table\n"
    "  --gridframe     print only the GridFrame layout text (no line feed)\n"
    "  --help          print this text\n"
    "\n"
    "Example:\n"
    "  tabulon --options 'Measures=Sales,Cost&SumOption=SumIncRowCol&SumPos=SumLast' \\\n"
    "      --html examples/sales.csv > sales.html\n"
    "\n"
    "Exit status: 0 done, 1 the transform failed, 2 bad command line or FILE\n"
    "cannot be read.\n";

enum class Output { kJson, kHtml, kGridFrame };

int commandLineError(const std::string& message) {
  std::fprintf(stderr, "tabulon: %s (see tabulon --help)\n", message.c_str());
  return 2;
}

// Reads `file` into `rows` in chunks of 1 MiB; false on a read error
// (errno is set).
bool readTable(std::FILE* file, tabulon::RowTable& rows) {
  std::vector<char> buffer(std::size_t{1} << 20);
  tabulon::TextTableReader reader(rows);
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
    reader.feed(std::string_view(buffer.data(), n));
  }
  if (std::ferror(file) != 0) return false;
  reader.finish();
  return true;
}

// Reads the table named `path` ("-" or null: standard input) as the engine
// reads table texts. On failure prints one line to standard error and
// returns false.
bool readInput(const char* path, tabulon::RowTable& rows) {
  const bool useStdin = path == nullptr || std::strcmp(path, "-") == 0;
  const char* name = useStdin ? "standard input" : path;
  std::FILE* file = useStdin ? stdin : std::fopen(path, "rb");
  bool ok = file != nullptr && readTable(file, rows);
  const int error = errno;
  if (file != nullptr && !useStdin) std::fclose(file);
  if (!ok) std::fprintf(stderr, "tabulon: cannot read %s: %s\n", name, std::strerror(error));
  return ok;
}

bool writeOutput(std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
      std::fflush(stdout) == 0) {
    return true;
  }
  std::fprintf(stderr, "tabulon: cannot write the output: %s\n", std::strerror(errno));
  return false;
}

int run(const std::string& options, const char* path, Output output) {
  tabulon::RowTable rows;
  if (!readInput(path, rows)) return 2;
  if (output == Output::kJson) {
    return writeOutput(tabulon::transformRequest(std::move(rows), options)) ? 0 : 1;
  }
  const Json::Value document = tabulon::transformDocument(std::move(rows), options);
  const Json::Value& text = document["ret"][output == Output::kHtml ? "Html" : "GridFrame"];
  const char* begin = nullptr;
  const char* end = nullptr;
  text.getString(&begin, &end);
  return writeOutput(std::string_view(begin, static_cast<std::size_t>(end - begin))) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string options;
  const char* path = nullptr;
  Output output = Output::kJson;
  bool flagsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (flagsEnded || arg.size() < 2 || arg[0] != '-') {
      if (path != nullptr) return commandLineError("more than one FILE");
      path = argv[i];
    } else if (arg == "--") {
      flagsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (arg == "--html" || arg == "--gridframe") {
      const Output wanted = arg == "--html" ? Output::kHtml : Output::kGridFrame;
      if (output != Output::kJson && output != wanted) {
        return commandLineError("--html and --gridframe exclude each other");
      }
      output = wanted;
    } else if (arg == "--options") {
      if (i + 1 == argc) return commandLineError("--options needs a TEXT");
      options = argv[++i];
    } else if (arg.substr(0, 10) == "--options=") {
      options = std::string(arg.substr(10));
    } else {
      return commandLineError("unknown flag " + std::string(arg));
    }
  }
  try {
    return run(options, path, output);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tabulon: the transform failed: %s\n", e.what());
    return 1;
  }
}
