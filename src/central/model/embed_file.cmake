# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P embed_file.cmake
# Writes a C++ source holding the bytes of INPUT as central::SYMBOL and its size.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n\nnamespace central {\n"
  "extern const char ${SYMBOL}[];\nextern const size_t ${SYMBOL}Size;\n"
  "const char ${SYMBOL}[] = {\n${bytes}'\\0'};\n"
  "const size_t ${SYMBOL}Size = ${size};\n}  // namespace central\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
