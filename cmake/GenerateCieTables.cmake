# Turns the spectral and metal tables of core/data/ into a C++ header of
# constant arrays, so that the numbers are never typed twice.
# Run as a script: cmake -DDATA_DIR=<core/data> -DOUTPUT=<header> -P <this file>
#
# Each CSV has one header line, then one row per wavelength from 380 to 780 nm
# in 5 nm steps; the header checks both, so a table that does not fit fails
# the build instead of shifting the spectrum.

set(first_wavelength 380)
set(wavelength_step 5)
set(wavelength_count 81)

# read_table(FILE COLUMNS OUT_VAR): the data rows of FILE as a list of rows,
# each row a comma-separated string without its wavelength; checks the
# wavelength column and the column count.
function(read_table file columns out_var)
  file(STRINGS "${file}" lines)
  list(POP_FRONT lines header)
  list(LENGTH lines count)
  if(NOT count EQUAL wavelength_count)
    message(FATAL_ERROR "${file}: ${count} data rows, expected ${wavelength_count}")
  endif()
  set(rows "")
  set(expected ${first_wavelength})
  foreach(line IN LISTS lines)
    string(REPLACE "," ";" fields "${line}")
    list(LENGTH fields field_count)
    math(EXPR wanted "${columns} + 1")
    if(NOT field_count EQUAL wanted)
      message(FATAL_ERROR "${file}: row '${line}' has ${field_count} fields, expected ${wanted}")
    endif()
    list(POP_FRONT fields wavelength)
    if(NOT wavelength EQUAL expected)
      message(FATAL_ERROR "${file}: wavelength ${wavelength} where ${expected} nm was expected")
    endif()
    math(EXPR expected "${expected} + ${wavelength_step}")
    list(JOIN fields ", " row)
    list(APPEND rows "${row}")
  endforeach()
  set(${out_var} "${rows}" PARENT_SCOPE)
endfunction()

# rows_text(ROWS OUT_VAR): the rows as C++ brace lines, or bare values for
# one-column tables.
function(rows_text rows braces out_var)
  set(text "")
  foreach(row IN LISTS rows)
    if(braces)
      string(APPEND text "    {${row}},\n")
    else()
      string(APPEND text "    ${row},\n")
    endif()
  endforeach()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

read_table("${DATA_DIR}/cie1931_2deg_5nm.csv" 3 cie_rows)
read_table("${DATA_DIR}/cie_d65_5nm.csv" 1 d65_rows)
read_table("${DATA_DIR}/metals_nk_5nm.csv" 16 metal_rows)
rows_text("${cie_rows}" TRUE cie_text)
rows_text("${d65_rows}" FALSE d65_text)
rows_text("${metal_rows}" TRUE metal_text)

file(WRITE "${OUTPUT}.tmp" "\
// Generated at build time from core/data/*.csv by cmake/GenerateCieTables.cmake.
// Do not edit: change the CSV files (their sources are in core/data/README.md).
//
// Sources:
//   CIE 1931 2-degree colour-matching functions and illuminant D65: the CIE's
//   standard tables (CIE 015, ISO/CIE 11664-1 and -2), as distributed by the
//   colour-science project (BSD-3-Clause), sampled every 5 nm.
//   Metals' complex index n + ik: refractiveindex.info database (CC0 1.0):
//   Johnson & Christy 1972 (gold, silver, copper) and 1974 (iron, titanium),
//   Rakic et al. 1998 (aluminium, chromium), Weaver et al. 1973 (niobium),
//   interpolated linearly onto the 5 nm grid.
#pragma once

namespace nacrelle::spectral_data {

/// Wavelengths of every table: kFirstWavelength + i * kWavelengthStep nm.
inline constexpr int kFirstWavelength = ${first_wavelength};
inline constexpr int kWavelengthStep = ${wavelength_step};
inline constexpr int kWavelengthCount = ${wavelength_count};

/// CIE 1931 2-degree observer: x-bar, y-bar, z-bar.
inline constexpr double kColourMatching[kWavelengthCount][3] = {
${cie_text}};

/// CIE illuminant D65, relative power (100 at 560 nm).
inline constexpr double kD65[kWavelengthCount] = {
${d65_text}};

/// Metals' n and k, in the order gold, silver, copper, aluminium, chromium,
/// iron, titanium, niobium: row i holds n0, k0, n1, k1, ...
inline constexpr int kMetalCount = 8;
inline constexpr double kMetalIndex[kWavelengthCount][2 * kMetalCount] = {
${metal_text}};

}  // namespace nacrelle::spectral_data
")
# Only a changed header is replaced, so an unchanged table rebuilds nothing.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
