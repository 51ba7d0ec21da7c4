# Writes the version source with the commit the tree was built from (empty
# outside a git checkout). The file is rewritten only when its text changes,
# so an unchanged commit rebuilds nothing.
execute_process(
  COMMAND git -C "${SOURCE_DIR}" describe --always --dirty --abbrev=12
  OUTPUT_VARIABLE VORN_COMMIT
  OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  set(VORN_COMMIT "")
endif()
configure_file("${SOURCE_DIR}/cmake/version.cpp.in" "${OUTPUT}" @ONLY)
