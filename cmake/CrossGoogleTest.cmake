# GoogleTest for a cross build, compiled from Debian's googletest sources
# (/usr/src/googletest), under the names that find_package(GTest) gives.
set(NACRELLE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
  "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS ${NACRELLE_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources at ${NACRELLE_GOOGLETEST_SOURCE}: "
                      "install Debian's googletest package")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${NACRELLE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main)
  target_compile_options(${lib} PRIVATE -w)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
