# Benchmark helpers (bench/run.sh runs them; no test does): a revision pack
# writer, the time to open packs, the program with a scripted user, and a
# paced line between two pseudo-terminals for lrzsz.
add_executable(korbench_pack ${PROJECT_SOURCE_DIR}/bench/korbench_pack.cpp)
target_link_libraries(korbench_pack PRIVATE revpacks)
# It writes packs with the tests' own pack writer.
target_include_directories(korbench_pack PRIVATE ${PROJECT_SOURCE_DIR}/tests)
add_executable(korbench_packopen ${PROJECT_SOURCE_DIR}/bench/korbench_packopen.cpp)
target_link_libraries(korbench_packopen PRIVATE revpacks)
target_include_directories(korbench_packopen PRIVATE ${PROJECT_SOURCE_DIR}/tests)
add_executable(korbench_transfer ${PROJECT_SOURCE_DIR}/bench/korbench_transfer.cpp)
target_link_libraries(korbench_transfer PRIVATE mainshell)
add_executable(korbench_relay ${PROJECT_SOURCE_DIR}/bench/korbench_relay.cpp)
target_link_libraries(korbench_relay PRIVATE korvansimlib)
