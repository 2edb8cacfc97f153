# The differential fuzz target built without libFuzzer, replaying a corpus once: scripts/strict-
# coverage measures what the corpus reaches with it. The input decoder comes with clang.
file(GLOB KIVO_PROVIDER_HEADER /usr/lib/llvm-*/lib/clang/*/include/fuzzer/FuzzedDataProvider.h)
if(NOT KIVO_PROVIDER_HEADER)
  message(WARNING "copy_oracle_replayer needs clang's fuzzer/FuzzedDataProvider.h; not built")
  return()
endif()
list(GET KIVO_PROVIDER_HEADER 0 KIVO_PROVIDER_HEADER)
file(GLOB KIVO_REPLAYER_CENSUS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/census*.cpp)
add_executable(copy_oracle_replayer fuzz/replayer_main.cpp fuzz/copy_oracle.cpp
  fuzz/fuzz_rng.cpp fuzz/oracle_bases.cpp fuzz/oracle_documents.cpp fuzz/oracle_requests.cpp
  fuzz/planted_from_env.cpp fuzz/template_edits.cpp fuzz/tree_content.cpp ${KIVO_REPLAYER_CENSUS})
# Only the one header of clang's include directory, so that nothing else of it shadows gcc's.
file(COPY ${KIVO_PROVIDER_HEADER} DESTINATION ${CMAKE_CURRENT_BINARY_DIR}/provider/fuzzer)
target_include_directories(copy_oracle_replayer PRIVATE ${PROJECT_SOURCE_DIR}/tests
  ${CMAKE_CURRENT_BINARY_DIR}/provider)
target_compile_definitions(copy_oracle_replayer PRIVATE
  KIVO_TEMPLATE_PATH="${PROJECT_SOURCE_DIR}/Sample_files/fully_loaded.xml")
target_link_libraries(copy_oracle_replayer PRIVATE kivo_stress_core)
