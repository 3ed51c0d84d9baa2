# krmm_readme_example(<markdown file> <name> <output .c file>): the C block
# that follows the line "<!-- <name> -->" in the file, written out so that a
# program is compiled from exactly what a reader copies. The build configures
# again when the file changes.
function(krmm_readme_example markdown name output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${markdown})
  file(READ ${markdown} text)
  set(opening "<!-- ${name} -->\n```c\n")
  string(FIND "${text}" "${opening}" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "${markdown} has lost its ${name} block")
  endif()
  string(LENGTH "${opening}" opening_length)
  math(EXPR start "${start} + ${opening_length}")
  string(SUBSTRING "${text}" ${start} -1 block)
  string(FIND "${block}" "\n```" length)
  string(SUBSTRING "${block}" 0 ${length} block)
  file(CONFIGURE OUTPUT ${output} CONTENT "${block}\n" @ONLY)
endfunction()
