# Checks, on the build machine, what KorvixSdk_Tesslin.dll exports, with the mingw objdump:
# exactly the names of the .def file, which are exactly the functions the public header
# declares when compiled for Windows, 149 of them.
#   cmake -DDLL=... -DOBJDUMP=... -DCOMPILER=... -DHEADER=... -DDEF=... -P CheckDllExports.cmake

cmake_policy(SET CMP0007 NEW)

# The DLL's export table: "[ordinal] name" rows after the name pointer table's heading.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" table_at)
if(table_at EQUAL -1)
  message(FATAL_ERROR "${DLL} has no export name table")
endif()
string(SUBSTRING "${dump}" ${table_at} -1 table)
# Square brackets would group list elements: they become parentheses first.
string(REPLACE "[" "(" table "${table}")
string(REPLACE "]" ")" table "${table}")
string(REPLACE "\n" ";" table_lines "${table}")
list(POP_FRONT table_lines)  # the heading
set(exported "")
foreach(line IN LISTS table_lines)
  if(NOT line MATCHES "^[ \t]+\\([ 0-9]+\\) ([A-Za-z0-9_@]+)$")
    break()  # the table ends at the first other line
  endif()
  list(APPEND exported ${CMAKE_MATCH_1})
endforeach()
list(SORT exported)

# The names of the .def file.
file(STRINGS ${DEF} def_lines REGEX "^    [A-Za-z]")
list(TRANSFORM def_lines STRIP)
list(SORT def_lines)

# The functions the header declares for Windows (after the preprocessor drops the Linux
# sections).
execute_process(COMMAND ${COMPILER} -E -P -x c ${HEADER} OUTPUT_VARIABLE preprocessed
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${COMPILER} could not preprocess ${HEADER}")
endif()
string(REGEX MATCHALL "Korvix_[A-Za-z0-9_]+[ ]*\\(" declared "${preprocessed}")
list(TRANSFORM declared REPLACE "[ (]" "")
list(REMOVE_DUPLICATES declared)
list(SORT declared)

list(LENGTH exported exported_count)
set(problems "")
if(NOT exported_count EQUAL 149)
  string(APPEND problems "the DLL exports ${exported_count} names, not 149\n")
endif()
if(NOT exported STREQUAL def_lines)
  string(APPEND problems "the DLL's exports differ from ${DEF}:\n  ${exported}\n")
endif()
if(NOT declared STREQUAL def_lines)
  string(APPEND problems "the header's Windows declarations differ from ${DEF}:\n  ${declared}\n")
endif()
foreach(name IN LISTS exported)
  if(name MATCHES "@")
    string(APPEND problems "${name} is exported decorated\n")
  endif()
endforeach()
if(problems)
  message(FATAL_ERROR "${problems}")
endif()
message(STATUS "${DLL} exports the ${exported_count} names of the catalogue, undecorated")
