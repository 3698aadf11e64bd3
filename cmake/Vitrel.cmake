# Build conventions shared by every subsystem.

add_compile_options(-Wall -Wextra)

if(VITREL_SANITIZE)
  set(vitrel_sanitize_flags -fsanitize=${VITREL_SANITIZE} -fno-omit-frame-pointer -g)
  if(VITREL_SANITIZE MATCHES "undefined")
    list(APPEND vitrel_sanitize_flags -fno-sanitize-recover=all)
  endif()
  add_compile_options(${vitrel_sanitize_flags})
  add_link_options(${vitrel_sanitize_flags})
endif()

set(VITREL_TSAN OFF)
if(VITREL_SANITIZE MATCHES "thread")
  set(VITREL_TSAN ON)
endif()

set(VITREL_SANITIZER_ENV
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1"
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
  "QT_QPA_PLATFORM=offscreen")

# Every threaded suite is also built in the ThreadSanitizer variant; this target collects them.
if(NOT TARGET vitrel_threaded_tests)
  add_custom_target(vitrel_threaded_tests)
endif()

# vitrel_add_test(<name> SOURCES ... [LIBS ...] [THREADED] [SERIAL] [TIMEOUT s])
# One GoogleTest program; its cases are discovered when CTest runs. In the ThreadSanitizer
# build only THREADED suites exist, so that variant compiles just what it checks. SERIAL suites
# measure time or load the machine and so never run beside another test.
function(vitrel_add_test name)
  cmake_parse_arguments(arg "THREADED;SERIAL" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(VITREL_TSAN AND NOT arg_THREADED)
    return()
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 300)
  endif()
  set(serial FALSE)
  if(arg_SERIAL)
    set(serial TRUE)
  endif()
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest GTest::gtest_main GTest::gmock
                        Threads::Threads)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "${VITREL_SANITIZER_ENV}" TIMEOUT ${arg_TIMEOUT} RUN_SERIAL ${serial}
               LABELS "$<IF:$<BOOL:${arg_THREADED}>,threaded,serial>")
  if(arg_THREADED)
    add_dependencies(vitrel_threaded_tests ${name})
  endif()
endfunction()

find_package(Threads REQUIRED)
