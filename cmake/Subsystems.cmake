# Each subsystem past the runtime has its own file in cmake/subsystems/:
# its library (korprog_library), its links (korprog_link), its executables,
# and what it adds to KORPROG_TEST_LIBS.
file(GLOB korprog_subsystem_files ${PROJECT_SOURCE_DIR}/cmake/subsystems/*.cmake)
list(SORT korprog_subsystem_files)
foreach(f ${korprog_subsystem_files})
  include(${f})
endforeach()
