# Adds one build of the module for one host release to the host's application
# package, a folder Nacrelle.bundle: the module goes to Contents/<year>/, and
# PackageContents.xml is written anew for every release the folder then holds.
# Builds for several releases (each with its own SDK) gather into one folder
# by pointing each at the same BUNDLE. Run as a script:
#
#   cmake -DBUNDLE=<dir> -DMODULE=<Nacrelle.dlt> -DYEAR=<host release year>
#         -DVERSION=<x.y.z> -DDESCRIPTION=<text> -DCOMPANY=<name> -DURL=<address>
#         [-DEMAIL=<address>] -P AssembleBundle.cmake
#
# A bundle is one version of the map: a BUNDLE that holds another version is
# refused, so that no release's module is listed under a version it is not.
cmake_minimum_required(VERSION 3.25)

foreach(required BUNDLE MODULE YEAR VERSION DESCRIPTION COMPANY URL)
  if("${${required}}" STREQUAL "")
    message(FATAL_ERROR "AssembleBundle: ${required} is required")
  endif()
endforeach()
if(NOT EXISTS "${MODULE}")
  message(FATAL_ERROR "AssembleBundle: the module ${MODULE} does not exist")
endif()
if(NOT YEAR MATCHES "^20[0-9][0-9]$")
  message(FATAL_ERROR "AssembleBundle: YEAR=${YEAR} is no host release year")
endif()

# How the host tells versions of the map apart: the same UpgradeCode for
# ever, a ProductCode of each version (derived from the version, so that a
# rebuild of one version keeps it).
set(upgrade_code "3F31B1C4-2BA0-4DD0-944A-7FC22F593ED8")
string(UUID product_code NAMESPACE ${upgrade_code} NAME "Nacrelle ${VERSION}" TYPE SHA1 UPPER)

set(contents_xml "${BUNDLE}/PackageContents.xml")
if(EXISTS "${contents_xml}")
  file(READ "${contents_xml}" existing)
  if(NOT existing MATCHES "AppVersion=\"${VERSION}\"")
    string(REGEX MATCH "AppVersion=\"[^\"]*\"" held "${existing}")
    message(FATAL_ERROR "AssembleBundle: ${BUNDLE} holds another version of the map "
      "(${held}), not ${VERSION}: build every release from the same sources, or start "
      "from an empty folder")
  endif()
endif()

file(MAKE_DIRECTORY "${BUNDLE}/Contents/${YEAR}")
file(COPY_FILE "${MODULE}" "${BUNDLE}/Contents/${YEAR}/Nacrelle.dlt" ONLY_IF_DIFFERENT)

function(xml_escape text out)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
xml_escape("${DESCRIPTION}" description)
xml_escape("${COMPANY}" company)
xml_escape("${URL}" url)
set(email_attribute "")
if(EMAIL)
  xml_escape("${EMAIL}" email)
  set(email_attribute " Email=\"${email}\"")
endif()

# Every release whose module the folder holds, oldest first.
file(GLOB modules RELATIVE "${BUNDLE}/Contents" "${BUNDLE}/Contents/*/Nacrelle.dlt")
set(years)
foreach(module IN LISTS modules)
  string(REGEX MATCH "^20[0-9][0-9]" year "${module}")
  if(year)
    list(APPEND years ${year})
  endif()
endforeach()
list(SORT years COMPARE NATURAL)

set(xml "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n")
string(APPEND xml "<ApplicationPackage SchemaVersion=\"1.0\" AutodeskProduct=\"3ds Max\" "
  "ProductType=\"Application\"\n    Name=\"Nacrelle\" Description=\"${description}\" "
  "AppVersion=\"${VERSION}\"\n    ProductCode=\"{${product_code}}\" "
  "UpgradeCode=\"{${upgrade_code}}\">\n")
string(APPEND xml "  <CompanyDetails Name=\"${company}\" Url=\"${url}\"${email_attribute}/>\n")
foreach(year IN LISTS years)
  # The Description names the kind of component, as the host sorts them:
  # "plugins parts" are native modules. It is not free text.
  string(APPEND xml "  <Components Description=\"plugins parts\">\n"
    "    <RuntimeRequirements OS=\"Win64\" Platform=\"3ds Max\" SeriesMin=\"${year}\" "
    "SeriesMax=\"${year}\"/>\n"
    "    <ComponentEntry AppName=\"Nacrelle\" Version=\"${VERSION}\" "
    "ModuleName=\"./Contents/${year}/Nacrelle.dlt\"/>\n"
    "  </Components>\n")
endforeach()
string(APPEND xml "</ApplicationPackage>\n")
file(WRITE "${contents_xml}" "${xml}")
list(JOIN years ", " listed)
message(STATUS "Nacrelle.bundle: ${BUNDLE} holds the module for ${listed}")
