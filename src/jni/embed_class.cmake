# Writes a C++ source holding the bytes of a compiled Java class, so that the
# library can define the class itself. Run with -DINPUT=<file.class>
# -DOUTPUT=<file.cpp>; the source defines tabulon::kRowBatchReaderClass and
# tabulon::kRowBatchReaderClassSize (declared in src/jni/embedded_class.h).
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include \"jni/embedded_class.h\"\n\n"
  "namespace tabulon {\n\n"
  "const unsigned char kRowBatchReaderClass[] = {\n    ${bytes}\n};\n"
  "const std::size_t kRowBatchReaderClassSize = ${size};\n\n"
  "}  // namespace tabulon\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
