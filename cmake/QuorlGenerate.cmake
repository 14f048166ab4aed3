# quorl_generate(<var> SCHEMA <folder> OUT <folder> COMMENT <text> [TESTS])
#
# Generates C++ from the Kobl schema in <folder> (relative to the source root) into <out> with
# `python3 -m generator emit` (with TESTS: `tests`, the conformance tests). The list of its outputs is asked
# from the generator at configure time and returned in <var>, the schema and generator files it reads in
# <var>_INPUTS; editing a schema file (of <folder>, or of the runtime's schema lib/ormid/schema that
# every namespace depends on) re-runs the configuration and the generation; editing a generator source
# re-runs the generation. Files whose content did not change are not rewritten, so only what depends on a
# changed file recompiles.
function(quorl_generate var)
  cmake_parse_arguments(ARG "TESTS" "SCHEMA;OUT;COMMENT" "" ${ARGN})
  set(emit emit)
  set(outputs outputs)
  if(ARG_TESTS)
    set(emit tests)
    set(outputs test-outputs)
  endif()
  file(GLOB schema CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${ARG_SCHEMA}/*.kobl"
       "${PROJECT_SOURCE_DIR}/lib/ormid/schema/*.kobl")
  list(REMOVE_DUPLICATES schema)
  file(GLOB generator CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/generator/*.py")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${schema} ${generator})
  set(command "${Python3_EXECUTABLE}" -m generator --schema "${ARG_SCHEMA}")
  execute_process(
    COMMAND ${command} ${outputs} --out "${ARG_OUT}"
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE generated ERROR_VARIABLE errors RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "python3 -m generator --schema ${ARG_SCHEMA} ${outputs} failed:\n${errors}")
  endif()
  string(STRIP "${generated}" generated)
  string(REPLACE "\n" ";" generated "${generated}")
  add_custom_command(
    OUTPUT ${generated}
    COMMAND ${command} ${emit} --out "${ARG_OUT}"
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    DEPENDS ${schema} ${generator}
    COMMENT "${ARG_COMMENT}"
    VERBATIM)
  set(${var} ${generated} PARENT_SCOPE)
  set(${var}_INPUTS ${schema} ${generator} PARENT_SCOPE)
endfunction()
