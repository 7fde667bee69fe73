// tabulon: the transform request as a command, for a table in a CSV or TSV
// file instead of a JDBC result set, and for scripts.
//
//   tabulon [--csv] [--options TEXT] [--html | --gridframe | --page] [-o FILE] [FILE]
//
// Reads the table from FILE (or standard input), parses it as the engine
// parses text tables, runs the same request as the Java call and prints the
// JSON result text, or with --html / --gridframe that one rendering, raw.
// Exit status: 0 done, 1 the transform failed, 2 bad command line, memory
// exhausted or input that cannot be read.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "csv_table.h"
#include "pivot/cross_tab.h"
#include "pivot/memory_budget.h"
#include "request/options.h"
#include "pivot/text_table_reader.h"
#include "request/transform_document.h"
#include "read_progress.h"
#include "report_page.h"
#include "request/transform_request.h"
#include "result_output.h"

namespace {

constexpr char kHelp[] =
    "Usage: tabulon [--csv] [--options TEXT] [--html | --gridframe | --page] [-o FILE] [FILE]\n"
    "\n"
    "Arranges a table as a cross-tab and prints the JSON result text\n"
    "  {\"req\":{...the options as read...},\"ret\":{\"GridFrame\":...,\"Html\":...}}\n"
    "\n"
    "FILE (standard input when absent or \"-\") holds one row per line: the\n"
    "column names, then the data rows. Fields are separated by TAB; a line of\n"
    "more than 10 bytes that has no TAB but a comma switches it and every later\n"
    "line to commas. Fields are taken as they are: no quotes, no trimming.\n"
    "With --csv, FILE is CSV as spreadsheets write it (see below).\n"
    "The column named \"|\" divides the row dimensions (left of it) from the\n"
    "column dimensions (right of it).\n"
    "\n"
    "Options:\n"
    "  --options TEXT  the option text, as for doTransform (keys below)\n"
    "  --csv           read FILE as CSV (RFC 4180): fields separated by commas,\n"
    "                  quoted fields holding commas, doubled quotes and line\n"
    "                  breaks, CR LF or LF line ends, a UTF-8 byte-order mark;\n"
    "                  texts taken exactly, blank lines skipped. A malformed file\n"
    "                  (an unclosed quote) is an error naming its line.\n"
    "  --html          print only the HTML table\n"
    "  --gridframe     print only the GridFrame layout text (no line feed)\n"
    "  --page          write a complete HTML report page: the table with a\n"
    "                  stylesheet, the options and the GridFrame text; logo.png\n"
    "                  (the table's corner) is written beside it: beside FILE\n"
    "                  with -o, else in the working folder unless one is there\n"
    "  -o, --output FILE\n"
    "                  write to FILE instead of standard output (replaced once\n"
    "                  the result is complete); with --page or --html, logo.png\n"
    "                  is written (replaced) in FILE's folder\n"
    "  --help          print this text\n"
    "  --version       print the version\n"
    "\n"
    "Option text: key=value pairs joined by \"&\" (a value ends at the next \"&\").\n"
    "Words are case-sensitive; unknown keys or words are ignored and leave the\n"
    "defaults.\n"
    "  Measures=A,B     the columns whose values fill the cells\n"
    "  SumOption=WORD   totals: SumNone, SumIncRow, SumIncCol or SumIncRowCol\n"
    "  SumPos=WORD      SumFirst or SumLast: totals before or after\n"
    "  RowColSort=TEXT  row members are sorted when TEXT has \"Row\"\n"
    "  Separate=NAME    the dividing column's name (default \"|\")\n"
    "  GridFrame=TEXT   a layout printed by --gridframe: fixes the row titles\n"
    "                   and the column header tree\n"
    "  MemoryLimit=N    the most memory the run may take for the table, the\n"
    "                   cross-tab and the output, in bytes or with K, M or G\n"
    "                   (powers of 1024); default: half of the address space\n"
    "                   left under ulimit -v, at most the physical memory.\n"
    "                   Past it the run ends with status 2.\n"
    "  Aggregate=WORD   Sum, Count, Min, Max or Avg: every cell and every total\n"
    "                   shows that aggregate of the rows it covers (empty values\n"
    "                   left out, except by Count); without it a cell shows its\n"
    "                   last row's value and the totals sum\n"
    "  Escape=Html      write names, titles and values into the HTML with &, <,\n"
    "                   >, \" and ' escaped (as &amp; &lt; &gt; &quot; &#39;), so\n"
    "                   that a page may show any data; the GridFrame text is\n"
    "                   the same. Without it the HTML holds the texts raw.\n"
    "\n"
    "Reading a file of more than 50 MB shows progress when standard error is\n"
    "a terminal.\n"
    "\n"
    "Examples:\n"
    "  tabulon --html --options 'Measures=Sales,Cost&SumOption=SumIncRowCol' examples/sales.csv\n"
    "\n"
    "  tabulon --csv --page -o report/sales.html --options 'Measures=Sales' data.csv\n"
    "\n"
    "Exit status: 0 done, 1 the transform failed, 2 bad command line, FILE\n"
    "cannot be read, or memory exhausted (one line on standard error, nothing\n"
    "on standard output).\n";

enum class Output { kJson, kHtml, kGridFrame, kPage };
enum class InputFormat { kText, kCsv };

int commandLineError(const std::string& message) {
  std::fprintf(stderr, "tabulon: %s (see tabulon --help)\n", message.c_str());
  return 2;
}

// Opens the input named `path` ("-" or null: standard input) and reads it
// with `read`. On failure prints one line to standard error and returns
// false.
template <typename Read>
bool readInput(const char* path, Read read) {
  const bool useStdin = path == nullptr || std::strcmp(path, "-") == 0;
  const char* name = useStdin ? "standard input" : path;
  std::FILE* file = useStdin ? stdin : std::fopen(path, "rb");
  bool ok = file != nullptr && read(file, name);
  const int error = errno;
  if (file != nullptr && !useStdin) std::fclose(file);
  if (!ok) std::fprintf(stderr, "tabulon: cannot read %s: %s\n", name, std::strerror(error));
  return ok;
}

// Reads the table of `text` as CSV; on malformed text prints one line
// naming the line and returns false.
bool readCsv(const char* path, const std::string& text, tabulon::RowTable& rows) {
  const tabulon::CsvError error = tabulon::readCsvTable(text, rows);
  if (error.line == 0) return true;
  const bool useStdin = path == nullptr || std::strcmp(path, "-") == 0;
  std::fprintf(stderr, "tabulon: %s: line %zu: %s\n", useStdin ? "standard input" : path,
               error.line, error.message.c_str());
  return false;
}

int run(const std::string& options, const char* path, Output output, InputFormat format,
        const char* outPath) {
  // The input text and everything the request grows count against its
  // memory limit (option MemoryLimit).
  tabulon::MemoryBudget budget(tabulon::requestMemoryLimit(options));
  tabulon::RowTable rows;
  tabulon::setValueColumns(rows, options);
  if (format == InputFormat::kCsv) {
    // A CSV reader needs the whole text to name the line of an error.
    std::string text;
    const bool read = readInput(path, [&](std::FILE* file, const char* name) {
      return tabulon::readAllWithProgress(file, name, text);
    });
    if (!read || !readCsv(path, text, rows)) return 2;
  } else {
    // The table text goes into the row store chunk by chunk, never whole.
    tabulon::TextTableReader reader(rows);
    const bool read = readInput(path, [&](std::FILE* file, const char* name) {
      return tabulon::readChunksWithProgress(
          file, name, [&](std::string_view piece) { reader.feed(piece); });
    });
    if (!read) return 2;
    reader.finish();
  }
  using tabulon::Logo;
  if (output == Output::kJson) {
    return tabulon::writeResult(tabulon::transformRequest(std::move(rows), options), outPath,
                                Logo::kNone);
  }
  const tabulon::TransformDocument document =
      tabulon::transformDocument(std::move(rows), options);
  const std::string_view html = document.html;
  const std::string_view gridFrame = document.gridFrame;
  switch (output) {
    case Output::kPage: {
      const bool useStdin = path == nullptr || std::strcmp(path, "-") == 0;
      return tabulon::writeResult(
          tabulon::reportPage(useStdin ? "standard input" : path, options, html, gridFrame),
          outPath, Logo::kBeside);
    }
    case Output::kHtml:
      // A table written to a file gets its logo beside it; on standard output
      // it stays as it always was, the table alone.
      return tabulon::writeResult(html, outPath, outPath ? Logo::kBeside : Logo::kNone);
    default:
      return tabulon::writeResult(gridFrame, outPath, Logo::kNone);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string options;
  const char* path = nullptr;
  Output output = Output::kJson;
  InputFormat format = InputFormat::kText;
  const char* outPath = nullptr;
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
    } else if (arg == "--version") {
      std::fputs("tabulon " TABULON_VERSION "\n", stdout);
      return 0;
    } else if (arg == "--html" || arg == "--gridframe" || arg == "--page") {
      const Output wanted = arg == "--html"        ? Output::kHtml
                            : arg == "--gridframe" ? Output::kGridFrame
                                                   : Output::kPage;
      if (output != Output::kJson && output != wanted) {
        return commandLineError("--html, --gridframe and --page exclude each other");
      }
      output = wanted;
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 == argc) return commandLineError(std::string(arg) + " needs a FILE");
      outPath = argv[++i];
    } else if (arg.substr(0, 9) == "--output=") {
      outPath = argv[i] + 9;
    } else if (arg == "--csv") {
      format = InputFormat::kCsv;
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
    return run(options, path, output, format, outPath);
  } catch (const std::bad_alloc& e) {
    // Nothing has been written: the output is printed only once it is whole.
    std::fprintf(stderr, "tabulon: out of memory: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tabulon: the transform failed: %s\n", e.what());
    return 1;
  }
}
