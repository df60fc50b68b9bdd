# Test script: runs nacrelle.exe under Wine in an empty folder and checks
# what it writes and says.
#   cmake -DWINE_RUN=<script> -DPROGRAM=<nacrelle.exe> -DWORK_DIR=<dir> -P ProgramUnderWine.cmake
cmake_minimum_required(VERSION 3.25)
# Wine reads its command line in the locale's encoding: UTF-8 here.
set(ENV{LANG} C.UTF-8)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# run(<expected exit code> <output variable> ARGS...)
function(run expected output)
  execute_process(COMMAND ${WINE_RUN} ${PROGRAM} ${ARGN}
    WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code STREQUAL "${expected}")
    message(FATAL_ERROR "nacrelle ${ARGN}: exit code ${code}, not ${expected}\n${out}\n${err}")
  endif()
  set(${output} "${out}${err}" PARENT_SCOPE)
endfunction()

function(expect_png file)
  if(NOT EXISTS ${WORK_DIR}/${file})
    message(FATAL_ERROR "${file} was not written")
  endif()
  file(READ ${WORK_DIR}/${file} signature LIMIT 8 HEX)
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "${file} is no PNG file (starts with ${signature})")
  endif()
endfunction()

run(0 out render)
expect_png(nacrelle-swatch.png)

set(map "карта-ø.png")
set(scene "fïlm 薄膜.nscene")
run(0 out render --size 32 -o ${map})
expect_png(${map})
run(0 out scene new ${scene} --thickness-map bitmap:${map} --set hue=30)
if(NOT EXISTS "${WORK_DIR}/${scene}")
  message(FATAL_ERROR "the scene \"${scene}\" was not written")
endif()
run(0 out scene show ${scene})
if(NOT out MATCHES "карта-ø\\.png")
  message(FATAL_ERROR "scene show does not name the thickness map ${map}:\n${out}")
endif()
run(0 out scene render ${scene} --size 32 -o "rendu-é.png")
expect_png("rendu-é.png")
run(0 out scene render ${scene} --size 32)
expect_png("fïlm 薄膜.png")
# The scene is there under its own name: not replaced without --force.
run(1 out scene new ${scene})
if(NOT out MATCHES "exists already")
  message(FATAL_ERROR "scene new replaced the scene ${scene}:\n${out}")
endif()

# The module named by the environment, beyond ASCII too.
get_filename_component(program_dir ${PROGRAM} DIRECTORY)
file(COPY_FILE ${program_dir}/Nacrelle.dlt "${WORK_DIR}/модуль-ñ.dlt")
set(ENV{NACRELLE_PLUGIN} "модуль-ñ.dlt")
run(0 out info --json)
unset(ENV{NACRELLE_PLUGIN})
if(NOT out MATCHES "\"file\": \"модуль-ñ\\.dlt\"")
  message(FATAL_ERROR "info does not name the module of NACRELLE_PLUGIN:\n${out}")
endif()

# Refusals name the file and the reason, as on Linux.
run(1 out --plugin "absent-ñ.dlt" render)
if(NOT out MATCHES "cannot load module \"absent-ñ\\.dlt\": no such file")
  message(FATAL_ERROR "unexpected message for a missing module:\n${out}")
endif()
run(1 out --plugin ${PROGRAM} render)
if(NOT out MATCHES "not a module: the file is a Windows executable, not a DLL")
  message(FATAL_ERROR "unexpected message for a program given as the module:\n${out}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
