# The plug-in for the host itself: built against the host's SDK (headers in
# <root>/include, import libraries in <root>/lib/x64/Release) instead of the
# stand-in host. Included by the top-level CMakeLists.txt when
# NACRELLE_HOST_SDK names the SDK's root folder; only the core and the plug-in
# are built then.
#
#   nacrelle_add_sdk_module(<target> OBJECTS <objects_target> OUTPUT_NAME <name>
#                           RC <file.rc> [RC_INCLUDE_DIRECTORIES <dir>...]
#                           DEF <file.def> SOURCES <file>...)
#     <objects_target>: an object library compiling SOURCES against the SDK's
#     headers, at the SDK's language level, without linking, so that the
#     compile can be checked where the SDK's libraries or MSVC are missing.
#     <target>: the module <name>.dlt linked from those objects, the core
#     (linked in statically), the SDK's import libraries, DEF for its exports
#     and RC for its resources. When the SDK has no import libraries, <target>
#     fails with a message naming the missing files instead.
#
# With MSVC the SDK's own project settings apply (RTTI, exceptions, the
# release runtime of the host); any other compiler gets nothing special:
# extra flags come through CMAKE_CXX_FLAGS.
include_guard(GLOBAL)

# Windows paths may come with backslashes.
file(TO_CMAKE_PATH "${NACRELLE_HOST_SDK}" NACRELLE_HOST_SDK)
get_filename_component(NACRELLE_HOST_SDK "${NACRELLE_HOST_SDK}" ABSOLUTE)
if(NOT EXISTS "${NACRELLE_HOST_SDK}/include/max.h")
  message(FATAL_ERROR "NACRELLE_HOST_SDK=${NACRELLE_HOST_SDK}: there is no include/max.h in "
    "this folder. Give the SDK's root folder, the one that holds include/ and lib/.")
endif()
set(NACRELLE_HOST_SDK_LIBRARY_DIR "" CACHE PATH
  "Folder of the host SDK's import libraries (core.lib ...); empty: <SDK>/lib/x64/Release")
file(TO_CMAKE_PATH "${NACRELLE_HOST_SDK_LIBRARY_DIR}" nacrelle_sdk_library_dir)
if(NOT nacrelle_sdk_library_dir)
  set(nacrelle_sdk_library_dir "${NACRELLE_HOST_SDK}/lib/x64/Release")
endif()
# C++20: the host's 2027 projects compile at that level, and the plug-in's
# own sources are written to it (an SDK that asks for another level takes
# another value).
set(NACRELLE_HOST_SDK_CXX_STANDARD 20 CACHE STRING
  "C++ language level of the plug-in's sources in the SDK build")

# The SDK libraries whose symbols the plug-in uses, derived from its objects:
# the host symbols that the objects of the host-sdk-check preset leave
# undefined (x86_64-w64-mingw32-nm -u -C), each mapped to the SDK library
# whose export macro its class or function carries in the SDK's headers:
#   core.lib       ReferenceMaker, ReferenceTarget (references, notification,
#                  deletion), MtlBase and Texmap (vtables, Save, Load,
#                  BaseClone, operator=, Requirements, GetVPDisplayDIB,
#                  IsOutputMeaningful), ISubMap::GetSubTexmapTVName,
#                  ClassDesc::GetRsrcString, GetNewDefaultTextureOutput
#   paramblk2.lib  ClassDesc2 (parameter block descriptions, CreateParamDlgs,
#                  InvalidateUI, Reset, SetUserDlgProc, MakeAutoParamBlocks),
#                  ParamBlockDesc2 (its constructor, InvalidateUI, SetUserDlgProc)
#   maxutil.lib    MSTR (WStr: GetClassName, SubAnimName, slot names), and
#                  MaxHeapOperators, the new and delete of every SDK class
#   geom.lib       Matrix3::IdentityMatrix (GetUVTransform)
# Interval's functions (InInterval, FOREVER, NEVER, intersection) come from
# core.lib, as its export macro in the SDK's headers says. The stand-in
# defines MSTR, MaxHeapOperators, Interval and Matrix3 inline, so the lines
# for them follow the SDK's headers (their export macros), not symbols seen
# here; the MSVC link is what confirms the list.
# System libraries, from the __imp_ symbols: kernel32 (DisableThreadLibraryCalls,
# linked by default), user32 (LoadStringW), shell32 (ShellExecuteW).
set(NACRELLE_HOST_SDK_LIBRARIES core paramblk2 maxutil geom)
set(NACRELLE_HOST_SYSTEM_LIBRARIES user32 shell32)

# The host release the SDK is for, read from its own headers: the year where
# they define it, else from MAX_RELEASE (29000 for 2027, one thousand a year).
# It names the module's folder in the host's package (Contents/<year>/).
function(nacrelle_sdk_release_year out)
  file(GLOB headers "${NACRELLE_HOST_SDK}/include/maxversion.h" "${NACRELLE_HOST_SDK}/include/*.h")
  list(REMOVE_DUPLICATES headers)
  foreach(header IN LISTS headers)
    file(STRINGS "${header}" lines REGEX "^[ \t]*#[ \t]*define[ \t]+MAX_(PRODUCT_YEAR_NUMBER|RELEASE)[ \t]")
    foreach(line IN LISTS lines)
      if(line MATCHES "MAX_PRODUCT_YEAR_NUMBER[ \t]+([0-9]+)")
        set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
        return()
      elseif(line MATCHES "MAX_RELEASE[ \t]+([0-9]+)" AND NOT release)
        set(release ${CMAKE_MATCH_1})
      endif()
    endforeach()
  endforeach()
  if(NOT release)
    message(FATAL_ERROR "NACRELLE_HOST_SDK=${NACRELLE_HOST_SDK}: its headers define neither "
      "MAX_PRODUCT_YEAR_NUMBER nor MAX_RELEASE, so the host release it is for is unknown")
  endif()
  math(EXPR year "${release} / 1000 + 1998")
  set(${out} ${year} PARENT_SCOPE)
endfunction()
nacrelle_sdk_release_year(NACRELLE_HOST_RELEASE_YEAR)
message(STATUS "Host SDK: release ${NACRELLE_HOST_RELEASE_YEAR}")

if(MSVC)
  # The host runs on the release runtime in a DLL; the SDK's libraries and
  # every plug-in share it, in any configuration.
  set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)
endif()
enable_language(RC)

function(nacrelle_add_sdk_module target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OBJECTS;OUTPUT_NAME;RC;DEF"
    "SOURCES;RC_INCLUDE_DIRECTORIES")
  foreach(required OBJECTS OUTPUT_NAME RC DEF SOURCES)
    if(NOT arg_${required})
      message(FATAL_ERROR "nacrelle_add_sdk_module(${target}): ${required} is required")
    endif()
  endforeach()

  add_library(${arg_OBJECTS} OBJECT ${arg_SOURCES})
  # SYSTEM: the warning level is for the plug-in's own files, not the SDK's.
  target_include_directories(${arg_OBJECTS} SYSTEM PRIVATE ${NACRELLE_HOST_SDK}/include)
  target_compile_definitions(${arg_OBJECTS} PRIVATE UNICODE _UNICODE)
  set_target_properties(${arg_OBJECTS} PROPERTIES
    CXX_STANDARD ${NACRELLE_HOST_SDK_CXX_STANDARD}
    CXX_STANDARD_REQUIRED ON
    CXX_EXTENSIONS OFF)
  if(MSVC)
    # RTTI: the SDK's plugapi.h refuses to compile without it.
    # (CMake's own MSVC flags hold them too, and WIN32 and _WINDOWS.)
    target_compile_options(${arg_OBJECTS} PRIVATE /GR /EHsc)
  endif()

  set(missing)
  foreach(library IN LISTS NACRELLE_HOST_SDK_LIBRARIES)
    if(NOT EXISTS "${nacrelle_sdk_library_dir}/${library}.lib")
      list(APPEND missing "${library}.lib")
    endif()
  endforeach()
  if(missing)
    list(JOIN missing ", " missing)
    string(CONCAT reason "${arg_OUTPUT_NAME}.dlt cannot be linked: ${nacrelle_sdk_library_dir} "
      "lacks ${missing} (set NACRELLE_HOST_SDK_LIBRARY_DIR to the SDK's lib/x64/Release). "
      "${arg_OBJECTS} compiles without them.")
    message(STATUS "${reason}")
    add_custom_target(${target} ALL
      COMMAND ${CMAKE_COMMAND} -E echo "${reason}"
      COMMAND ${CMAKE_COMMAND} -E false
      VERBATIM)
    return()
  endif()

  add_library(${target} MODULE ${arg_DEF} ${arg_RC})
  # Only the resource compiler reads these (the .rc's generated headers).
  target_include_directories(${target} PRIVATE ${arg_RC_INCLUDE_DIRECTORIES})
  list(TRANSFORM NACRELLE_HOST_SDK_LIBRARIES
    PREPEND "${nacrelle_sdk_library_dir}/" OUTPUT_VARIABLE libraries)
  list(TRANSFORM libraries APPEND ".lib")
  target_link_libraries(${target} PRIVATE
    ${arg_OBJECTS} Nacrelle::core ${libraries} ${NACRELLE_HOST_SYSTEM_LIBRARIES})
  # bin/, in a folder per configuration with Visual Studio (bin/Release).
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${arg_OUTPUT_NAME}
    PREFIX ""
    SUFFIX ".dlt"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()
