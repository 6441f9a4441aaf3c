# cmake --install: the programs in bin, the defaults every user's directory
# is made from in share/korprog (the program looks for them at
# <its directory>/../share/korprog), and the menu entry and icons where the
# desktop looks for them.
install(TARGETS korprog korvansim RUNTIME DESTINATION bin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION share/korprog
        PATTERN icons EXCLUDE
        PATTERN applications EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/ DESTINATION share/icons)
install(FILES ${PROJECT_SOURCE_DIR}/data/applications/korprog.desktop DESTINATION share/applications)

# The start-up tests install this build into a temporary prefix and run it
# from there. Test targets exist only once the whole tree is read.
function(korprog_install_test_definitions)
  if(TARGET test_main)
    target_compile_definitions(test_main PRIVATE KORPROG_CMAKE="${CMAKE_COMMAND}"
                                                 KORPROG_BUILD_DIR="${PROJECT_BINARY_DIR}")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL korprog_install_test_definitions)
