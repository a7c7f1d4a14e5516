# Build-time data of the layout stage: the PostScript-to-family font-name
# table, kept as fontnames.tsv and compiled in as a generated include.
set(QM_FONTNAMES_TSV ${CMAKE_CURRENT_LIST_DIR}/fontnames.tsv)
set(QM_FONTNAMES_INC ${CMAKE_BINARY_DIR}/generated/layout/fontnames.inc)
add_custom_command(
  OUTPUT ${QM_FONTNAMES_INC}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/layout
  COMMAND ${CMAKE_COMMAND} -DIN=${QM_FONTNAMES_TSV} -DOUT=${QM_FONTNAMES_INC}
          -P ${CMAKE_CURRENT_LIST_DIR}/fontnames.cmake
  DEPENDS ${QM_FONTNAMES_TSV} ${CMAKE_CURRENT_LIST_DIR}/fontnames.cmake
  COMMENT "Generating the font-name table"
  VERBATIM)
target_sources(quillmark_core PRIVATE ${QM_FONTNAMES_INC})
