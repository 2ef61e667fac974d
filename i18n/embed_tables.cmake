# cmake -DOUTPUT=file.cpp -DTABLE_DIR=dir -DNUMBERS="151;154;155" -P embed_tables.cmake
# Writes the bytes of TABLE_DIR/table<N>.ini as the array kEmbeddedTables.
set(arrays "")
set(entries "")
foreach(number ${NUMBERS})
  file(READ ${TABLE_DIR}/table${number}.ini hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char table${number}[${size}] = {${bytes}};\n")
  string(APPEND entries "    {${number}, table${number}, ${size}},\n")
endforeach()
set(include_line "#include \"i18n/embedded_tables.h\"")
file(WRITE ${OUTPUT} "// Generated from i18n/tables by embed_tables.cmake.
${include_line}

#include <iterator>

namespace scopemark {

namespace {

${arrays}
}  // namespace

const EmbeddedTable kEmbeddedTables[] = {
${entries}};
const std::size_t kEmbeddedTableCount = std::size(kEmbeddedTables);

}  // namespace scopemark
")
