# Helpers shared by the build of every subsystem.

# korprog_library(name DIRS d1 d2 ... [PATTERNS p1 p2 ...])
# A static library of the .cpp files in src/<d> (or, with PATTERNS, of the
# files matching src/<pattern>). A directory without sources gives an
# interface library, so dependants can link it before its code lands.
function(korprog_library name)
  cmake_parse_arguments(KL "" "" "DIRS;PATTERNS" ${ARGN})
  set(srcs)
  foreach(d ${KL_DIRS})
    file(GLOB s CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${d}/*.cpp)
    list(APPEND srcs ${s})
  endforeach()
  foreach(p ${KL_PATTERNS})
    file(GLOB s CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${p})
    list(APPEND srcs ${s})
  endforeach()
  list(FILTER srcs EXCLUDE REGEX "_main\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
  endif()
endfunction()

# korprog_link(name libs...): link whether the library has sources yet or not.
function(korprog_link name)
  get_target_property(t ${name} TYPE)
  if(t STREQUAL "INTERFACE_LIBRARY")
    target_link_libraries(${name} INTERFACE ${ARGN})
  else()
    target_link_libraries(${name} PUBLIC ${ARGN})
  endif()
endfunction()

# One GoogleTest executable per directory below tests/ that holds tests;
# it links every project library, so a test needs no edit here either.
# Test helpers shared by several directories live in tests/support.
function(korprog_tests)
  # The tests' own code is compiled without optimisation: the code under test
  # keeps the build's level, and GoogleTest's templates compile two to five
  # times faster at -O0 (most under the sanitizers).
  set(KORPROG_TEST_OPT -O0)
  file(GLOB support CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/*.cpp)
  if(support)
    add_library(testsupport STATIC ${support})
    target_include_directories(testsupport PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(testsupport PUBLIC GTest::gtest nlohmann_json::nlohmann_json ${KORPROG_TEST_LIBS})
    target_compile_options(testsupport PRIVATE ${KORPROG_TEST_OPT})
  endif()
  file(GLOB_RECURSE tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*_test.cpp)
  set(dirs)
  foreach(t ${tests})
    get_filename_component(d ${t} DIRECTORY)
    list(APPEND dirs ${d})
  endforeach()
  list(REMOVE_DUPLICATES dirs)
  foreach(d ${dirs})
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/tests ${d})
    string(REPLACE "/" "_" exe "test_${rel}")
    file(GLOB srcs CONFIGURE_DEPENDS ${d}/*.cpp)
    add_executable(${exe} ${srcs} ${PROJECT_SOURCE_DIR}/tests/support/lsan_suppressions.c)
    target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_compile_options(${exe} PRIVATE ${KORPROG_TEST_OPT})
    target_link_libraries(${exe} PRIVATE ${KORPROG_TEST_LIBS} GTest::gtest GTest::gtest_main
                                         nlohmann_json::nlohmann_json)
    if(TARGET testsupport)
      target_link_libraries(${exe} PRIVATE testsupport)
    endif()
    # Tests that open windows each get a display of their own.
    set(windows FALSE)
    foreach(s ${srcs})
      file(STRINGS ${s} uses REGEX "FL/Fl_|FlEvents|xdotool|getenv\\(\"DISPLAY\"\\)" LIMIT_COUNT 1)
      if(uses)
        set(windows TRUE)
      endif()
    endforeach()
    if(windows)
      set_target_properties(${exe} PROPERTIES CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/support/own-display.sh)
    endif()
    # One property per variable: a ';' list is split on its way into the
    # discovered tests, and the second variable would be lost.
    gtest_discover_tests(${exe} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                         PROPERTIES ENVIRONMENT "KORPROG_HEADLESS=1"
                                    ENVIRONMENT_MODIFICATION "KORPROG_TEST_DATA=set:${PROJECT_SOURCE_DIR}/data"
                         DISCOVERY_TIMEOUT 60)
  endforeach()
endfunction()

# korprog_test_uses_program(test exe DEFINE): the test executable `test` gets
# the path of the built program `exe` as the string macro DEFINE and is built
# after it. Test targets exist only once the whole tree is read, so the link
# is made at the end of configuration.
function(korprog_test_uses_program test exe define)
  # Deferred arguments are read when the call runs: bake the values in now.
  cmake_language(EVAL CODE
    "cmake_language(DEFER DIRECTORY [[${PROJECT_SOURCE_DIR}]] CALL korprog_link_program_to_test [[${test}]] [[${exe}]] [[${define}]])")
endfunction()

function(korprog_link_program_to_test test exe define)
  if(TARGET ${test} AND TARGET ${exe})
    target_compile_definitions(${test} PRIVATE ${define}="$<TARGET_FILE:${exe}>")
    add_dependencies(${test} ${exe})
  endif()
endfunction()
