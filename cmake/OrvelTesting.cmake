# orvel_add_test(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>] [LABELS <labels...>])
#
# One executable per unit under test. Each test runs in a working directory of
# its own (the program writes ".settings/" files and log files there), with its
# own settings store and runtime directory, headless, so tests never touch the
# user's files and never see each other's lock files.
function(orvel_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt5::Test)
  set(work "${CMAKE_CURRENT_BINARY_DIR}/work/${name}")
  file(MAKE_DIRECTORY "${work}/config" "${work}/data" "${work}/runtime")
  execute_process(COMMAND chmod 700 "${work}/runtime")
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY "${work}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${work}/config;XDG_DATA_HOME=${work}/data;XDG_RUNTIME_DIR=${work}/runtime;HOME=${work};ORVEL_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# Adds the listed sub-folders that exist: each subsystem brings its own.
function(orvel_add_existing_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt")
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
