# Application shell: start-up, command line, shutdown; and the program.
korprog_library(mainshell DIRS main)
korprog_link(mainshell revpacks ui kpcommon helm bdebug)
add_executable(korprog ${PROJECT_SOURCE_DIR}/src/main/korprog_main.cpp)
target_link_libraries(korprog PRIVATE mainshell)
list(APPEND KORPROG_TEST_LIBS mainshell)

# The start-up tests also run the built program as two processes.
function(korprog_main_test_setup)
  if(TARGET test_main)
    target_compile_definitions(test_main PRIVATE KORPROG_PATH="$<TARGET_FILE:korprog>")
    add_dependencies(test_main korprog)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL korprog_main_test_setup)
