# Plug-in modules for the stand-in host, and their compiled resources.
#
#   nacrelle_add_module(<target> [RC <file.rc>] [OUTPUT_NAME <name>] [DEF <file.def>]
#                       [RC_INCLUDE_DIRECTORIES <dir>...] SOURCES <file>...)
#     A loadable module <name>.dlt (no "lib" prefix) linked against the
#     stand-in host. It exports exactly DllMain, the six Lib* functions and,
#     with RC, the resource function StandInResourceImage; every other symbol
#     stays inside. Sources define the entry points as extern "C" functions of
#     default visibility (the rest of the module is hidden by the global
#     preset); a version script built from the list below, the ELF counterpart
#     of a .def file, makes sure that nothing else leaves the module.
#
#   nacrelle_add_resources(<target> <file.rc> [INCLUDE_DIRECTORIES <dir>...])
#     Compiles <file.rc> at build time and embeds the bytes of the compiled
#     .res image in <target> behind StandInResourceImage. The .rc is UTF-8 and
#     may #include headers of IDs (changes to them rebuild it). Sets the
#     target property NACRELLE_RESOURCE_IMAGE to the path of the .res file.
#
#   nacrelle_add_export_test(<target>)
#     A CTest test that lists the module's exported symbols (nm -D) and fails
#     unless they are exactly the module exports above.
#
# On Windows the module is a DLL: its exports come from a .def file (DEF
# <file.def>, or one written from the list below), DllMain is its entry point
# only, and the .rc is compiled into its own resource section; there is no
# embedded image and no resource symbol: llvm-rc compiles the same .res as
# here, and windres turns it into an object file for the linker. The export test then reads the
# export and import tables with objdump -p and also fails when the module
# imports a DLL other than the system's and the host's.
include_guard(GLOBAL)

# The module's exports, by undecorated name. A Windows build writes the same
# list into the module's .def file.
set(NACRELLE_MODULE_ENTRY_POINTS
  DllMain LibDescription LibNumberClasses LibClassDesc LibVersion LibInitialize LibShutdown)
set(NACRELLE_RESOURCE_SYMBOL StandInResourceImage)

find_program(NACRELLE_LLVM_RC NAMES llvm-rc llvm-rc-14 llvm-rc-15 llvm-rc-16 REQUIRED
  DOC "LLVM's resource compiler (Debian package llvm)")

set(_nacrelle_host_module_dir ${CMAKE_CURRENT_LIST_DIR})

# Compiles <rc_file> for <target> into a .res image in the target's
# resources folder, the same bytes on every platform, and sets <res_var> to
# its path and <dir_var> to the folder.
function(nacrelle_compile_rc target rc_file res_var dir_var)
  cmake_parse_arguments(PARSE_ARGV 4 arg "" "" "INCLUDE_DIRECTORIES")
  get_filename_component(rc_path "${rc_file}" ABSOLUTE)
  get_filename_component(rc_name "${rc_file}" NAME_WE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}.resources)
  set(preprocessed ${dir}/${rc_name}.rc.i)
  set(res ${dir}/${rc_name}.res)

  set(include_flags)
  foreach(include_dir IN LISTS arg_INCLUDE_DIRECTORIES)
    get_filename_component(include_dir "${include_dir}" ABSOLUTE)
    list(APPEND include_flags -I${include_dir})
  endforeach()

  # The C compiler preprocesses (as rc.exe does, with RC_INVOKED defined), so
  # that the .rc may include headers of IDs and the build tracks them through
  # a depfile; llvm-rc then compiles the result as UTF-8 (code page 65001).
  add_custom_command(
    OUTPUT ${preprocessed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_C_COMPILER} -E -xc -DRC_INVOKED ${include_flags}
            -MD -MF ${preprocessed}.d -MT ${preprocessed} ${rc_path} -o ${preprocessed}
    DEPENDS ${rc_path}
    DEPFILE ${preprocessed}.d
    COMMENT "Preprocessing resources ${rc_file}"
    VERBATIM)
  # llvm-rc takes any argument that starts with '/' for an option (/C, /FO,
  # ...), so an absolute POSIX path such as /check/... would be misread: it
  # runs in the output directory on relative names instead.
  add_custom_command(
    OUTPUT ${res}
    COMMAND ${NACRELLE_LLVM_RC} -no-preprocess -C 65001 -FO ${rc_name}.res -- ${rc_name}.rc.i
    DEPENDS ${preprocessed}
    WORKING_DIRECTORY ${dir}
    COMMENT "Compiling resources ${rc_file}"
    VERBATIM)
  set(${res_var} ${res} PARENT_SCOPE)
  set(${dir_var} ${dir} PARENT_SCOPE)
endfunction()

if(WIN32)
  include(HostModuleWindows)
  return()
endif()

function(nacrelle_add_resources target rc_file)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "INCLUDE_DIRECTORIES")
  nacrelle_compile_rc(${target} ${rc_file} res dir INCLUDE_DIRECTORIES ${arg_INCLUDE_DIRECTORIES})
  get_filename_component(rc_name "${rc_file}" NAME_WE)
  set(embedded ${dir}/${rc_name}.res.cpp)
  add_custom_command(
    OUTPUT ${embedded}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${res} -DOUTPUT=${embedded}
            -P ${_nacrelle_host_module_dir}/EmbedResourceImage.cmake
    DEPENDS ${res} ${_nacrelle_host_module_dir}/EmbedResourceImage.cmake
    COMMENT "Embedding resources ${rc_name}.res"
    VERBATIM)

  target_sources(${target} PRIVATE ${embedded})
  # The generated source includes modules/embedded_resources.h.
  set_source_files_properties(${embedded} TARGET_DIRECTORY ${target} PROPERTIES
    INCLUDE_DIRECTORIES "$<TARGET_PROPERTY:Nacrelle::host,INTERFACE_INCLUDE_DIRECTORIES>")
  set_property(TARGET ${target} PROPERTY NACRELLE_RESOURCE_IMAGE ${res})
endfunction()

function(nacrelle_add_module target)
  # DEF (the Windows export list) is not used here: the list above is the same.
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "RC;OUTPUT_NAME;DEF" "SOURCES;RC_INCLUDE_DIRECTORIES")
  if(NOT arg_SOURCES)
    message(FATAL_ERROR "nacrelle_add_module(${target}): SOURCES is required")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "nacrelle_add_module(${target}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()

  add_library(${target} MODULE ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE Nacrelle::host)
  set(exports ${NACRELLE_MODULE_ENTRY_POINTS})
  if(arg_RC)
    nacrelle_add_resources(${target} ${arg_RC} INCLUDE_DIRECTORIES ${arg_RC_INCLUDE_DIRECTORIES})
    list(APPEND exports ${NACRELLE_RESOURCE_SYMBOL})
  endif()

  # Anything else of default visibility (a stray attribute, an inline
  # function of a library header) is made local here.
  list(JOIN exports ";\n    " export_lines)
  set(version_script ${CMAKE_CURRENT_BINARY_DIR}/${target}.exports.map)
  file(CONFIGURE OUTPUT ${version_script} CONTENT "{\n  global:\n    ${export_lines};\n  local:\n    *;\n};\n")
  target_link_options(${target} PRIVATE LINKER:--version-script=${version_script})

  if(NOT arg_OUTPUT_NAME)
    set(arg_OUTPUT_NAME ${target})
  endif()
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${arg_OUTPUT_NAME}
    PREFIX ""
    SUFFIX ".dlt"
    LINK_DEPENDS ${version_script}
    NACRELLE_MODULE_EXPORTS "${exports}")
endfunction()

function(nacrelle_add_export_test target)
  if(NOT CMAKE_NM)
    message(FATAL_ERROR "nacrelle_add_export_test(${target}): no nm found")
  endif()
  add_test(NAME ${target}.Exports
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DMODULE=$<TARGET_FILE:${target}>
            "-DEXPECTED=$<TARGET_PROPERTY:${target},NACRELLE_MODULE_EXPORTS>"
            -P ${_nacrelle_host_module_dir}/CheckModuleExports.cmake)
endfunction()
