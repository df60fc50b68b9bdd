# Compiler settings shared by every target of the project.

if(MSVC)
  # Only the plug-in for the host is built with MSVC (cmake/HostSdk.cmake).
  # Floating point as below: /fp:precise, which since Visual Studio 2022 no
  # longer contracts multiply-adds, and x64 code has no excess precision.
  # (For C and C++ only: the resource compiler takes none of these.)
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:/fp:precise>)
  # The SDK's projects build at warning level 3.
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:/W3>)
  if(NACRELLE_WARNINGS_AS_ERRORS)
    add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:/WX>)
  endif()
  return()
endif()

# Floating point is part of the model: the thin-film results are specified to
# the last bit, so the compiler may neither fuse multiply-adds nor reorder.
add_compile_options(-ffp-contract=off -fno-fast-math)
# Keep math-library calls honest (errno semantics do not change results, but
# -fno-math-errno lets sqrtf become one instruction at every level alike).
add_compile_options(-fno-math-errno)

add_compile_options(-Wall -Wextra -Wpedantic)
if(NACRELLE_WARNINGS_AS_ERRORS)
  add_compile_options(-Werror)
endif()

# Everything in the plug-in module is hidden unless exported on purpose.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
