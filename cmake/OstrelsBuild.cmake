# Build variants and the helpers every folder uses to declare tests and fuzzers.
#
#   OSTRELS_SANITIZE=address  AddressSanitizer + UndefinedBehaviorSanitizer
#   OSTRELS_SANITIZE=thread   ThreadSanitizer (build the `thread_tests` target)
#   OSTRELS_FUZZ=ON           clang libFuzzer targets (build the `fuzzers` target)

set(OSTRELS_SANITIZE "" CACHE STRING "Sanitizer build: empty, address or thread")
set_property(CACHE OSTRELS_SANITIZE PROPERTY STRINGS "" address thread)
option(OSTRELS_FUZZ "Build libFuzzer targets (needs clang)" OFF)
set(OSTRELS_FUZZ_SECONDS 5 CACHE STRING "Seconds each fuzzer runs after replaying its corpus under ctest")

if(OSTRELS_SANITIZE STREQUAL "address")
  # GCC reports false maybe-uninitialized warnings inside the standard library
  # when sanitizers instrument it.
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
                      -Wno-maybe-uninitialized)
  add_link_options(-fsanitize=address,undefined)
elseif(OSTRELS_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -Wno-maybe-uninitialized)
  add_link_options(-fsanitize=thread)
elseif(NOT OSTRELS_SANITIZE STREQUAL "")
  message(FATAL_ERROR "OSTRELS_SANITIZE must be empty, address or thread")
endif()

if(OSTRELS_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "OSTRELS_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(NOT TARGET thread_tests)
  add_custom_target(thread_tests)
endif()
if(NOT TARGET fuzzers)
  add_custom_target(fuzzers)
endif()

# Test code is checked for what it asserts, not for its speed: -O1 compiles it
# far faster than -O2 (the libraries under test keep their own level). Set
# OSTRELS_TEST_OPTIMIZE empty to build tests like everything else.
set(OSTRELS_TEST_OPTIMIZE "-O1" CACHE STRING "Optimisation flag for test code")

# ostrels_add_test_prelude(<header>)
#
# Precompiles <header> once, as the target test_prelude; every test binary
# reuses it. A prelude needs the same flags as the code that includes it, so
# the target carries the tests' options and definitions. libFuzzer builds,
# which build no tests, skip it.
function(ostrels_add_test_prelude header)
  if(OSTRELS_FUZZ)
    return()
  endif()
  string(REGEX REPLACE "\\.h$" ".cpp" source ${header})
  add_library(test_prelude OBJECT ${source})
  _ostrels_test_flags(test_prelude)
  target_link_libraries(test_prelude PRIVATE GTest::gtest Threads::Threads)
  target_precompile_headers(test_prelude PRIVATE ${header})
endfunction()

# Test code is position independent in one way (-fPIC, as Qt asks of code
# that uses it) so that every test can reuse the one prelude.
function(_ostrels_test_flags target)
  target_compile_options(${target} PRIVATE ${OSTRELS_TEST_OPTIMIZE} -fPIC)
  target_compile_definitions(${target} PRIVATE
    OSTRELS_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    OSTRELS_BINARY_DIR="${PROJECT_BINARY_DIR}")
endfunction()

# ostrels_add_gtest(<name> SOURCES ... [LIBS ...] [LABELS ...] [SINGLE] [WHOLE] [TIMEOUT s]
#                   [WHOLE_TIMEOUT s] [RESOURCE_LOCK name] [DEPENDS target...])
#
# One GoogleTest executable. Each test becomes its own CTest entry, unless SINGLE
# is given: then the binary is one entry (for binaries slow to start). The label
# `threads` marks tests that the ThreadSanitizer run covers. RESOURCE_LOCK keeps
# tests that share something outside their temporary folder (a process name, a
# shared-memory name) from running at the same time. DEPENDS names programs the
# tests run; each is built first and its path reaches the test as the macro
# <TARGET>_PATH (upper case). WHOLE runs the binary whole in one process, as
# the entry <name>.whole (within WHOLE_TIMEOUT, 600 s unless given), so that a
# test which passes only on its own, or only after state an earlier test left
# behind, shows: the normal build runs such a binary only whole, the sanitizer
# builds each test on its own, so both ways are covered without running every
# test twice.
function(ostrels_add_gtest name)
  cmake_parse_arguments(T "SINGLE;WHOLE" "TIMEOUT;WHOLE_TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS;LABELS;DEPENDS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(NOT T_WHOLE_TIMEOUT)
    set(T_WHOLE_TIMEOUT 600)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} test_support ostrels_platform GTest::gtest GTest::gtest_main
                        Threads::Threads)
  _ostrels_test_flags(${name})
  if(TARGET test_prelude)
    target_precompile_headers(${name} REUSE_FROM test_prelude)
  endif()
  foreach(program IN LISTS T_DEPENDS)
    add_dependencies(${name} ${program})
    string(TOUPPER ${program} macro)
    target_compile_definitions(${name} PRIVATE ${macro}_PATH="$<TARGET_FILE:${program}>")
  endforeach()
  set(extra_properties)
  if(T_RESOURCE_LOCK)
    set(extra_properties RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
  if("threads" IN_LIST T_LABELS)
    add_dependencies(thread_tests ${name})
  endif()
  if(OSTRELS_SANITIZE STREQUAL "thread" AND NOT "threads" IN_LIST T_LABELS)
    # A TSan build runs only the thread-heavy tests; keep the rest out of `all`.
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    return()
  endif()
  if(OSTRELS_FUZZ)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    return()
  endif()
  if(T_SINGLE)
    add_test(NAME ${name} COMMAND ${name})
    # A binary whose every test skipped itself (an outside oracle is missing)
    # shows as skipped, not as passed.
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}" ${extra_properties}
      SKIP_REGULAR_EXPRESSION "\\[  PASSED  \\] 0 tests")
  elseif(T_WHOLE AND NOT OSTRELS_SANITIZE)
    add_test(NAME ${name}.whole COMMAND ${name})
    set_tests_properties(${name}.whole PROPERTIES TIMEOUT ${T_WHOLE_TIMEOUT} LABELS "${T_LABELS};whole"
      ${extra_properties} SKIP_REGULAR_EXPRESSION "\\[  PASSED  \\] 0 tests")
  else()
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}" ${extra_properties})
  endif()
endfunction()

# ostrels_add_fuzzer(<name> SOURCES ... [LIBS ...] CORPUS <dir>)
#
# A libFuzzer target, built only with OSTRELS_FUZZ. Under ctest it replays the
# corpus folder and then fuzzes for OSTRELS_FUZZ_SECONDS; scripts/fuzz.sh runs
# it for longer.
function(ostrels_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT OSTRELS_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(fuzzers ${name})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}.corpus)
  add_test(NAME fuzz.${name}
    COMMAND ${CMAKE_COMMAND} -E env
      bash ${PROJECT_SOURCE_DIR}/scripts/run-fuzzer.sh $<TARGET_FILE:${name}> ${F_CORPUS} ${work} ${OSTRELS_FUZZ_SECONDS})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()
