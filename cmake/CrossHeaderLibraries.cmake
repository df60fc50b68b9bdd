# CLI11, nlohmann-json and Boost (Beast and Asio) for a cross build: all are
# header-only, so the build machine's Debian headers serve. Only their own
# folders are put on the include path (never /usr/include as a whole, which
# holds the build machine's C library headers).
set(_nacrelle_cross_headers ${CMAKE_BINARY_DIR}/cross-headers)
foreach(dir CLI nlohmann boost)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: install the Debian packages "
                        "libcli11-dev, nlohmann-json3-dev and libboost-dev")
  endif()
  file(MAKE_DIRECTORY ${_nacrelle_cross_headers})
  file(CREATE_LINK /usr/include/${dir} ${_nacrelle_cross_headers}/${dir} SYMBOLIC)
endforeach()
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  set_target_properties(CLI11::CLI11 PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_nacrelle_cross_headers})
endif()
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_nacrelle_cross_headers})
endif()
if(NOT TARGET Boost::headers)
  add_library(Boost::headers INTERFACE IMPORTED GLOBAL)
  set_target_properties(Boost::headers PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_nacrelle_cross_headers})
endif()
