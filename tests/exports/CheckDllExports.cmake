# Reads a Windows DLL's export and import tables (objdump -p) and checks that
#   - it is built for the expected machine (FORMAT, e.g. pei-i386),
#   - it exports exactly the expected names, undecorated (no leading
#     underscore, no @N suffix), taken from a list file (EXPECTED) or from
#     the API declarations of a header (HEADER with its API_MACRO),
#   - it takes every function with the prefix IMPORT_PREFIX from the DLL
#     IMPORT_DLL, and at least one,
#   - it needs no GCC runtime DLL (libgcc_s, libstdc++, libwinpthread): those
#     are linked in statically.
# Usage: cmake -DLIBRARY=<dll> -DOBJDUMP=<objdump> -DFORMAT=<format>
#              (-DEXPECTED=<list> | -DHEADER=<h> -DAPI_MACRO=<macro>)
#              [-DIMPORT_DLL=<dll name> -DIMPORT_PREFIX=<prefix>]
#              -P CheckDllExports.cmake
foreach(var LIBRARY OBJDUMP FORMAT)
  if(NOT ${var})
    message(FATAL_ERROR "CheckDllExports: ${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${LIBRARY}")
endif()

set(problems "")
if(NOT dump MATCHES "file format ${FORMAT}\n")
  string(REGEX MATCH "file format [^\n]*" found "${dump}")
  string(APPEND problems "\n  wrong machine: expected file format ${FORMAT}, found '${found}'")
endif()

# Walk the dump: the name table lists "[ n] name" lines; each import block
# starts with "DLL Name: x.dll" and lists "<vma> <hint> <name>" lines.
string(REPLACE ";" "\\;" dump "${dump}")
string(REPLACE "\n" ";" lines "${dump}")
set(section "")
set(exported "")
set(imported_dlls "")
set(imports_right "")
set(imports_wrong "")
string(TOLOWER "${IMPORT_DLL}" import_dll)
foreach(line IN LISTS lines)
  if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(section names)
  elseif(line MATCHES "^[ \t]*DLL Name: (.+)$")
    set(section imports)
    string(TOLOWER "${CMAKE_MATCH_1}" current_dll)
    list(APPEND imported_dlls ${current_dll})
  elseif(line MATCHES "^[ \t]*$" AND section STREQUAL "names")
    set(section "")
  elseif(section STREQUAL "names" AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
    list(APPEND exported "${CMAKE_MATCH_1}")
  elseif(section STREQUAL "imports" AND IMPORT_PREFIX
         AND line MATCHES "^[ \t]*[0-9a-fA-F]+[ \t]+[0-9]+[ \t]+(${IMPORT_PREFIX}[A-Za-z0-9_]*)$")
    if(current_dll STREQUAL import_dll)
      list(APPEND imports_right ${CMAKE_MATCH_1})
    else()
      list(APPEND imports_wrong "${CMAKE_MATCH_1} from ${current_dll}")
    endif()
  endif()
endforeach()

if(EXPECTED)
  file(STRINGS ${EXPECTED} expected)
elseif(HEADER AND API_MACRO)
  file(READ ${HEADER} header)
  # "<API> <type> <CALL> name(": the calling-convention macro ends in _CALL.
  string(REGEX MATCHALL "${API_MACRO} [^;(]*_CALL[ \t\n]+[A-Za-z_][A-Za-z0-9_]*\\(" declarations "${header}")
  set(expected "")
  foreach(declaration IN LISTS declarations)
    string(REGEX MATCH "([A-Za-z_][A-Za-z0-9_]*)\\($" name "${declaration}")
    list(APPEND expected ${CMAKE_MATCH_1})
  endforeach()
else()
  message(FATAL_ERROR "CheckDllExports: give EXPECTED or HEADER and API_MACRO")
endif()
if(NOT expected)
  message(FATAL_ERROR "CheckDllExports: no expected export names found")
endif()

list(SORT expected)
list(SORT exported)
set(missing ${expected})
list(REMOVE_ITEM missing ${exported})
set(extra ${exported})
list(REMOVE_ITEM extra ${expected})
if(missing)
  string(APPEND problems "\n  missing exports: ${missing}")
endif()
if(extra)
  # A decorated name (_name, name@8) lands here too.
  string(APPEND problems "\n  unexpected exports: ${extra}")
endif()

if(IMPORT_PREFIX)
  if(NOT imports_right)
    string(APPEND problems "\n  imports no ${IMPORT_PREFIX} function from ${IMPORT_DLL}")
  endif()
  if(imports_wrong)
    string(APPEND problems "\n  ${IMPORT_PREFIX} functions imported from elsewhere: ${imports_wrong}")
  endif()
endif()

foreach(dll IN LISTS imported_dlls)
  if(dll MATCHES "^lib(gcc|stdc\\+\\+|winpthread|ssp|atomic)")
    string(APPEND problems "\n  depends on the runtime DLL ${dll}")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "${LIBRARY}:${problems}")
endif()
list(LENGTH exported export_count)
set(summary "${LIBRARY}: ${FORMAT}, ${export_count} exports as expected")
if(IMPORT_PREFIX)
  list(LENGTH imports_right import_count)
  string(APPEND summary ", ${import_count} ${IMPORT_PREFIX} functions from ${IMPORT_DLL}")
endif()
list(JOIN imported_dlls " " imported_dlls)
message(STATUS "${summary}; needs ${imported_dlls}")
