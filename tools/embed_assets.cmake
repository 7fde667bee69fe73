# cmake -DOUTPUT=file.cpp -DCSS=report.css -DLOGO=logo.png -P embed_assets.cmake
# Writes the demo's stylesheet and logo as byte arrays for `tabulon --page`.
function(byte_array name file out)
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(${out} "extern const unsigned char ${name}[] = {\n    ${bytes}0};\nextern const std::size_t ${name}Size = ${size};\n" PARENT_SCOPE)
endfunction()
byte_array(kReportCss ${CSS} css)
byte_array(kReportLogo ${LOGO} logo)
file(WRITE ${OUTPUT}.tmp "// Generated from java/demo/report.css and java/demo/logo.png.\n#include <cstddef>\n\nnamespace tabulon {\n\n${css}${logo}\n}  // namespace tabulon\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
