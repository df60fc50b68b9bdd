# Windows programs of a cross build run under Wine, through a script that
# keeps them in the build's own Wine prefix (see wine-run.sh.in). Tests are
# listed when CTest runs, not at build time, so that a build needs no Wine.
find_program(NACRELLE_WINE NAMES wine wine64 REQUIRED DOC "Wine (Debian packages wine, wine64)")
set(NACRELLE_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
