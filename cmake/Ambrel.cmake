# Helpers shared by every module and test folder.

# The tree's own folders, taken from this file's place rather than from whichever project
# includes the tree, so that it also builds as part of a larger project.
get_filename_component(AMBREL_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(AMBREL_BINARY_ROOT ${CMAKE_CURRENT_BINARY_DIR}) # this file is included by the tree's top folder

set(AMBREL_WARNINGS -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)

# ambrel_module(<Name> SOURCES ... [LIBS ...])
# One static library per module folder. A module's string tables (Resources/<lang>.json) are
# compiled in as Qt resources under :/strings/<Name>/.
function(ambrel_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  set_property(GLOBAL APPEND PROPERTY AMBREL_MODULE_TARGETS ${name})
  target_include_directories(${name} PUBLIC ${AMBREL_SOURCE_ROOT}/src)
  # Its headers need the standard the tree is written in, also in a target of a larger project.
  target_compile_features(${name} PUBLIC cxx_std_23)
  target_compile_options(${name} PRIVATE ${AMBREL_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  file(GLOB tables CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/Resources/*.json)
  if(tables)
    qt_add_resources(${name} "${name}_strings"
      PREFIX "/strings/${name}"
      BASE "${CMAKE_CURRENT_SOURCE_DIR}/Resources"
      FILES ${tables})
  endif()
endfunction()

# An application a test starts asks its version service on a closed loopback port (discard,
# where nothing listens): no test reaches anything outside the machine.
set(AMBREL_TEST_ENVIRONMENT "AMBREL_UPDATE_ENDPOINT=http://127.0.0.1:9/api/version")
# Under the sanitizers (AMBREL_SANITIZE) a finding ends the test with a failure, leaks included;
# what the system's libraries keep for the life of a process is listed in the suppressions.
if(AMBREL_SANITIZE)
  string(APPEND AMBREL_TEST_ENVIRONMENT ";ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0"
         ";UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
         ";LSAN_OPTIONS=suppressions=${AMBREL_SOURCE_ROOT}/tests/sanitizers/leaks.supp:print_suppressions=0")
endif()

# ambrel_test(<name> SOURCES ... [LIBS ...])
# One QtTest executable registered with CTest. Tests run offscreen with a private home, data and
# config folder so that nothing touches the real user's files.
function(ambrel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${AMBREL_WARNINGS})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE AMBREL_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}"
                                             AMBREL_BINARY_DIR="${AMBREL_BINARY_ROOT}")
  add_test(NAME ${name} COMMAND ${name})
  set(sandbox ${CMAKE_CURRENT_BINARY_DIR}/${name}.home)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;HOME=${sandbox};XDG_DATA_HOME=${sandbox}/data;XDG_CONFIG_HOME=${sandbox}/config;XDG_CACHE_HOME=${sandbox}/cache;AMBREL_PLATFORM=simulated;${AMBREL_TEST_ENVIRONMENT}")
endfunction()

# ambrel_module_tests(<Module> [LIBS ...] [SOURCES ...])
# Every tst_<name>.cpp in the calling folder becomes the test executable tst_<Module>_<name>,
# linked with the module, the listed libraries and the extra sources (shared fixtures).
function(ambrel_module_tests module)
  cmake_parse_arguments(ARG "" "" "LIBS;SOURCES" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(test ${tests})
    get_filename_component(stem ${test} NAME_WE)
    string(REGEX REPLACE "^tst_" "" stem ${stem})
    ambrel_test(tst_${module}_${stem} SOURCES ${test} ${ARG_SOURCES} LIBS ${module} ${ARG_LIBS})
  endforeach()
endfunction()

# ambrel_x_test(<name> COMMAND <command> [args...] [ENVIRONMENT var=value...])
# A test that runs inside a private X session (tests/XSession/x-session: Xvfb on a free display,
# a private D-Bus session and runtime folder, openbox). Its home and XDG folders lie in the build
# tree, like every other test's; it runs on the real desktop services.
function(ambrel_x_test name)
  cmake_parse_arguments(ARG "" "" "COMMAND;ENVIRONMENT" ${ARGN})
  add_test(NAME ${name} COMMAND ${AMBREL_SOURCE_ROOT}/tests/XSession/x-session -- ${ARG_COMMAND})
  set(sandbox ${CMAKE_CURRENT_BINARY_DIR}/${name}.home)
  set_tests_properties(${name} PROPERTIES LABELS desktop ENVIRONMENT
    "HOME=${sandbox};XDG_DATA_HOME=${sandbox}/data;XDG_CONFIG_HOME=${sandbox}/config;XDG_CACHE_HOME=${sandbox}/cache;AMBREL_TEST_SOURCE_DIR=${CMAKE_CURRENT_SOURCE_DIR};AMBREL_BINARY_DIR=${AMBREL_BINARY_ROOT};${AMBREL_TEST_ENVIRONMENT};${ARG_ENVIRONMENT}")
endfunction()
