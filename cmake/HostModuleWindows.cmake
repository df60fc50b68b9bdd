# nacrelle_add_module and nacrelle_add_export_test for Windows (see
# HostModule.cmake). Included from there.
find_program(NACRELLE_WINDRES NAMES ${CMAKE_RC_COMPILER} x86_64-w64-mingw32-windres REQUIRED
  DOC "GNU windres for the target (Debian package binutils-mingw-w64-x86-64)")

# Compiles <rc_file> into a COFF object holding the module's resource section:
# preprocessed and compiled by llvm-rc exactly as on Linux (same .res bytes),
# then converted by windres.
function(nacrelle_add_resource_section target rc_file)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "INCLUDE_DIRECTORIES")
  nacrelle_compile_rc(${target} ${rc_file} res dir INCLUDE_DIRECTORIES ${arg_INCLUDE_DIRECTORIES})
  get_filename_component(rc_name "${rc_file}" NAME_WE)
  set(object ${dir}/${rc_name}.res.obj)
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${NACRELLE_WINDRES} -J res -O coff -i ${rc_name}.res -o ${rc_name}.res.obj
    DEPENDS ${res}
    WORKING_DIRECTORY ${dir}
    COMMENT "Converting resources ${rc_name}.res"
    VERBATIM)
  target_sources(${target} PRIVATE ${object})
  set_source_files_properties(${object} TARGET_DIRECTORY ${target} PROPERTIES
    EXTERNAL_OBJECT TRUE GENERATED TRUE)
  set_property(TARGET ${target} PROPERTY NACRELLE_RESOURCE_IMAGE ${res})
endfunction()

function(nacrelle_add_module target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "RC;OUTPUT_NAME;DEF" "SOURCES;RC_INCLUDE_DIRECTORIES")
  if(NOT arg_SOURCES)
    message(FATAL_ERROR "nacrelle_add_module(${target}): SOURCES is required")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "nacrelle_add_module(${target}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_OUTPUT_NAME)
    set(arg_OUTPUT_NAME ${target})
  endif()

  add_library(${target} MODULE ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE Nacrelle::host)
  # The static C++ runtime, kept from leaking at each unload.
  target_sources(${target} PRIVATE
    ${_nacrelle_host_module_dir}/../host/platform/module_runtime_mingw.cpp)

  # The system calls DllMain; the host finds the Lib* functions by name.
  set(exports ${NACRELLE_MODULE_ENTRY_POINTS})
  list(REMOVE_ITEM exports DllMain)
  if(arg_DEF)
    get_filename_component(def "${arg_DEF}" ABSOLUTE)
  else()
    list(JOIN exports "\n    " export_lines)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    file(CONFIGURE OUTPUT ${def}
      CONTENT "LIBRARY ${arg_OUTPUT_NAME}.dlt\nEXPORTS\n    ${export_lines}\n")
  endif()
  target_sources(${target} PRIVATE ${def})

  if(arg_RC)
    nacrelle_add_resource_section(${target} ${arg_RC}
      INCLUDE_DIRECTORIES ${arg_RC_INCLUDE_DIRECTORIES})
  endif()

  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${arg_OUTPUT_NAME}
    PREFIX ""
    SUFFIX ".dlt"
    NACRELLE_MODULE_DEF "${def}"
    NACRELLE_MODULE_EXPORTS "${exports}")
endfunction()

function(nacrelle_add_export_test target)
  add_test(NAME ${target}.Exports
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:${target}>
            "-DDEF=$<TARGET_PROPERTY:${target},NACRELLE_MODULE_DEF>"
            "-DALLOWED_IMPORTS=$<TARGET_FILE_NAME:nacrelle_host>"
            -P ${_nacrelle_host_module_dir}/CheckPeTables.cmake)
endfunction()
