# The layer check on a copy of src/: it passes on the copy as it is, fails on each planted
# fault with a message that names the file, the include and what the file's layer may
# use, refuses a layers.txt with a cycle, and its rewriting mode mends a bare include.
#
#   cmake -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch folder> -P LayerCheck_test.cmake

cmake_minimum_required(VERSION 3.25)
include(${SOURCE_DIR}/cmake/TwinsiftLayers.cmake)
twinsift_read_layers(${SOURCE_DIR}/src/layers.txt)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(COPY "${SOURCE_DIR}/src" "${SOURCE_DIR}/cmake" DESTINATION "${WORK_DIR}")

# Runs the check on the copy (FIX: the rewriting mode) into `result` and `output`.
function(run_check result output)
  cmake_parse_arguments(ARG "FIX" "" "" ${ARGN})
  set(fix "")
  if(ARG_FIX)
    set(fix -DFIX=ON)
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${WORK_DIR} ${fix} -P ${WORK_DIR}/cmake/CheckLayers.cmake
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  # CMake wraps long error messages: compare with the white space folded.
  string(REGEX REPLACE "[ \t\r\n]+" " " out "${out}")
  set(${result} ${code} PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

function(expect_pass what)
  run_check(code out)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${what}: the check failed:\n${out}")
  endif()
endfunction()

# Plants `content` at src/`file`, expects the check to fail with every one of `wanted`
# (exact substrings) in its output, then removes the plant.
function(expect_fault what file content)
  file(WRITE "${WORK_DIR}/src/${file}" "${content}")
  run_check(code out)
  file(REMOVE "${WORK_DIR}/src/${file}")
  if(code EQUAL 0)
    message(FATAL_ERROR "${what}: the check passed")
  endif()
  foreach(wanted IN LISTS ARGN)
    string(FIND "${out}" "${wanted}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${what}: the message lacks \"${wanted}\":\n${out}")
    endif()
  endforeach()
endfunction()

expect_pass("the tree as it is")

list(JOIN TWINSIFT_LAYER_REACHES_files ", " files_may)
expect_fault("a record including the engine" "files/TWPlanted.cpp"
  "#include \"files/TWFileUtility.h\"\n#include \"engine/TWSearchDuplicateFiles.h\"\n"
  "src/files/TWPlanted.cpp: #include \"engine/TWSearchDuplicateFiles.h\""
  "files may include only ${files_may}")
list(JOIN TWINSIFT_LAYER_REACHES_platform ", " platform_may)
expect_fault("the platform including the preferences, from a header" "platform/TWPlanted.h"
  "#pragma once\n#include \"prefs/TWPreference.h\"\n"
  "src/platform/TWPlanted.h: #include \"prefs/TWPreference.h\""
  "platform may include only ${platform_may}")
expect_fault("the core including the app" "removal/TWPlanted.cpp"
  "#include \"app/AppDelegate.h\"\n"
  "src/removal/TWPlanted.cpp: #include \"app/AppDelegate.h\"")
expect_fault("the app including the command line" "app/TWPlanted.cpp"
  "#include \"cli/Commands.h\"\n"
  "src/app/TWPlanted.cpp: #include \"cli/Commands.h\"")
expect_fault("another layer's private header" "model/TWPlanted.cpp"
  "#include \"prefs/TWPreferenceImpl.h\"\n"
  "src/model/TWPlanted.cpp: #include \"prefs/TWPreferenceImpl.h\" is private to layer prefs")
expect_fault("a bare name" "engine/TWPlanted.cpp"
  "#include \"TWFileUtility.h\"\n"
  "src/engine/TWPlanted.cpp: #include \"TWFileUtility.h\" names no layer: write #include \"files/TWFileUtility.h\"")
expect_fault("an outdated layer" "engine/TWPlanted.cpp"
  "#include \"engine/TWFileUtility.h\"\n"
  "src/engine/TWPlanted.cpp: #include \"engine/TWFileUtility.h\" names no header: it lives at files/TWFileUtility.h")
expect_fault("a folder that is no layer" "extra/TWPlanted.h"
  "#pragma once\n"
  "src/extra/ is not a layer of src/layers.txt")

# A cycle cannot be written: a layer may only use layers listed above it.
file(READ "${WORK_DIR}/src/layers.txt" layers)
string(REGEX REPLACE "\nplatform:[^\n]*" "\nplatform: files" cyclic "${layers}")
file(WRITE "${WORK_DIR}/src/layers.txt" "${cyclic}")
run_check(code out)
file(WRITE "${WORK_DIR}/src/layers.txt" "${layers}")
string(FIND "${out}" "\"platform\" uses \"files\", which is not listed above it" at)
if(code EQUAL 0 OR at EQUAL -1)
  message(FATAL_ERROR "a cycle in layers.txt was not refused:\n${out}")
endif()

# The rewriting mode mends bare and outdated names, in src/ and in tests/, and leaves a
# test's own header alone.
file(WRITE "${WORK_DIR}/src/model/TWPlanted.cpp" "#include \"TWFileUtility.h\"\n#include \"engine/TWCategoryManager.h\"\n")
file(MAKE_DIRECTORY "${WORK_DIR}/tests/model")
file(WRITE "${WORK_DIR}/tests/model/Planted.h" "#pragma once\n")
file(WRITE "${WORK_DIR}/tests/model/planted_test.cpp" "#include \"Planted.h\"\n#include \"TWDuplicateFile.h\"\n")
run_check(code out FIX)
file(READ "${WORK_DIR}/src/model/TWPlanted.cpp" mended)
file(READ "${WORK_DIR}/tests/model/planted_test.cpp" mended_test)
if(NOT code EQUAL 0
   OR NOT mended STREQUAL "#include \"files/TWFileUtility.h\"\n#include \"files/TWCategoryManager.h\"\n"
   OR NOT mended_test STREQUAL "#include \"Planted.h\"\n#include \"model/TWDuplicateFile.h\"\n")
  message(FATAL_ERROR "the rewriting mode did not mend the includes:\n${mended}${mended_test}${out}")
endif()
