# Build conventions shared by every folder.

# Found once here so every folder can call pkg_check_modules.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

set(HANAKUMO_WARNINGS -Wall -Wextra -Wpedantic -Wno-unused-parameter -Wno-missing-field-initializers)
# g++ 12 reports -Wrestrict falsely on std::string code it inlined at -O3
# (concatenations and inserts whose buffers cannot overlap); later releases
# fixed the analysis, so only that version loses the warning.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND HANAKUMO_WARNINGS -Wno-restrict)
endif()
if(HANAKUMO_WERROR)
  list(APPEND HANAKUMO_WARNINGS -Werror)
endif()

if(HANAKUMO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz build instruments every library, not just the harnesses: the
# fuzzers then see the coverage of the code they drive and its memory
# errors and undefined behaviour abort the run.  The harnesses link libFuzzer.
if(HANAKUMO_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# hanakumo_library(NAME [DEPS lib...] [PUBLIC_DEPS lib...] [DIRS subdir...])
# A static library from every .cpp in the calling folder (and the listed
# subfolders), so adding a file needs no edit here.  A folder without
# sources yet becomes an interface library that callers can still link.
function(hanakumo_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PUBLIC_DEPS;DIRS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(d ${ARG_DIRS})
    file(GLOB more CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp)
    list(APPEND srcs ${more})
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_compile_options(${name} PRIVATE ${HANAKUMO_WARNINGS})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_PUBLIC_DEPS} ${ARG_DEPS})
  endif()
endfunction()

# hanakumo_resources(TARGET
#   RESOURCE <type> <name> <file> [LANG <id>] ...)
# Embeds files into TARGET as resources found by type, name and language.
# Each resource is registered by a static constructor in a generated source
# compiled into TARGET. For a static library, code of the library must call
# the generated `void HkKeepResources_<TARGET>()` (declare it extern "C") so
# the linker keeps the registration object in every program that links it.
function(hanakumo_resources target)
  set(args ${ARGN})
  set(gen ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  set(body "// Generated: resources embedded into ${target}.\n#include \"platform/Resources.h\"\n\n")
  set(regs "")
  set(deps "")
  set(i 0)
  list(LENGTH args n)
  set(idx 0)
  while(idx LESS n)
    list(GET args ${idx} kw)
    if(NOT kw STREQUAL "RESOURCE")
      message(FATAL_ERROR "hanakumo_resources: expected RESOURCE, got ${kw}")
    endif()
    math(EXPR a "${idx}+1")
    math(EXPR b "${idx}+2")
    math(EXPR c "${idx}+3")
    list(GET args ${a} rtype)
    list(GET args ${b} rname)
    list(GET args ${c} rfile)
    math(EXPR idx "${idx}+4")
    set(lang 0)
    if(idx LESS n)
      list(GET args ${idx} maybe)
      if(maybe STREQUAL "LANG")
        math(EXPR l "${idx}+1")
        list(GET args ${l} lang)
        math(EXPR idx "${idx}+2")
      endif()
    endif()
    if(NOT IS_ABSOLUTE ${rfile})
      set(rfile ${CMAKE_CURRENT_SOURCE_DIR}/${rfile})
    endif()
    list(APPEND deps ${rfile})
    string(APPEND body "__asm__(\".section .rodata\\n.balign 16\\n.globl hk_res_${target}_${i}\\nhk_res_${target}_${i}:\\n.incbin \\\"${rfile}\\\"\\n.globl hk_res_${target}_${i}_end\\nhk_res_${target}_${i}_end:\\n.byte 0\\n.previous\\n\");\n")
    string(APPEND body "extern \"C\" const unsigned char hk_res_${target}_${i}[];\nextern \"C\" const unsigned char hk_res_${target}_${i}_end[];\n")
    string(APPEND regs "    RegisterResource(\"${rtype}\", \"${rname}\", ${lang}, hk_res_${target}_${i}, static_cast<size_t>(hk_res_${target}_${i}_end - hk_res_${target}_${i}));\n")
    math(EXPR i "${i}+1")
  endwhile()
  string(APPEND body "\nextern \"C\" void HkKeepResources_${target}() {}\n")
  string(APPEND body "\nnamespace {\nstruct Registrar {\n  Registrar() {\n${regs}  }\n} registrar;\n}\n")
  file(GENERATE OUTPUT ${gen} CONTENT "${body}")
  target_sources(${target} PRIVATE ${gen})
  set_source_files_properties(${gen} PROPERTIES OBJECT_DEPENDS "${deps}")
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "STATIC_LIBRARY")
    target_link_libraries(${target} PUBLIC hk_platform)
  else()
    target_link_libraries(${target} PRIVATE hk_platform)
  endif()
endfunction()

# hanakumo_test(NAME SOURCES... [DEPS lib...] [TIMEOUT seconds])
# A GoogleTest binary whose tests CTest lists one by one; TIMEOUT bounds
# each, so a test of something that must not hang fails instead of waiting.
function(hanakumo_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "DEPS" ${ARGN})
  set(timeout)
  if(ARG_TIMEOUT)
    set(timeout TIMEOUT ${ARG_TIMEOUT})
  endif()
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_options(${name} PRIVATE ${HANAKUMO_WARNINGS})
  target_compile_definitions(${name} PRIVATE
    HK_SOURCE_DIR="${CMAKE_SOURCE_DIR}" HK_BINARY_DIR="${CMAKE_BINARY_DIR}"
    HK_PROGRAM_DIR="${HANAKUMO_BIN_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "HANAKUMO_DRIVER=headless" ${timeout})
endfunction()

# hanakumo_bench(NAME SOURCES... [DEPS lib...])
# A benchmark program; bench/run.sh runs it from an optimised build.
function(hanakumo_bench name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  target_compile_options(${name} PRIVATE ${HANAKUMO_WARNINGS})
  target_compile_definitions(${name} PRIVATE
    HK_SOURCE_DIR="${CMAKE_SOURCE_DIR}" HK_PROGRAM_DIR="${HANAKUMO_BIN_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()

# hanakumo_fuzzer(NAME SOURCES... [DEPS lib...] [CORPUS dir])
# A libFuzzer target with its seed corpus (default: corpus/ beside its
# sources); scripts/run-fuzzers.sh runs every one of them briefly from it,
# reading the corpus path from NAME.corpus beside the program.  In the test
# build (HANAKUMO_FUZZ_REPLAY) the harness is linked with a plain driver
# instead and replays that corpus as the test fuzz-replay.NAME.
function(hanakumo_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "DEPS" ${ARGN})
  if(NOT ARG_CORPUS)
    set(ARG_CORPUS corpus)
  endif()
  set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_CORPUS})
  if(HANAKUMO_FUZZ_REPLAY)
    set(name ${name}_replay)
    add_executable(${name} ${ARG_UNPARSED_ARGUMENTS} ${CMAKE_SOURCE_DIR}/tests/fuzz-replay/ReplayMain.cpp)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_compile_options(${name} PRIVATE ${HANAKUMO_WARNINGS})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    string(REGEX REPLACE "_replay$" "" test_name ${name})
    add_test(NAME fuzz-replay.${test_name} COMMAND ${name} ${corpus})
    set_tests_properties(fuzz-replay.${test_name} PROPERTIES ENVIRONMENT "HANAKUMO_DRIVER=headless")
  else()
    add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
    get_filename_component(dir ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz/${dir})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    file(WRITE ${CMAKE_BINARY_DIR}/fuzz/${dir}/${name}.corpus "${corpus}\n")
  endif()
  target_compile_definitions(${name} PRIVATE HK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endfunction()
