# The fuzz targets, shared by the fuzz build (QUILLORY_FUZZ: linked with
# libFuzzer) and the test suites (linked with ReplayMain.cpp, which feeds
# them the regression inputs and the seeds).
set(QUILLORY_FUZZ_DIR ${PROJECT_SOURCE_DIR}/fuzz)
set(QUILLORY_FUZZ_TARGETS pipeline converters header)
set(QUILLORY_FUZZ_pipeline_SOURCE PipelineFuzzer.cpp)
set(QUILLORY_FUZZ_pipeline_LIBS render)
set(QUILLORY_FUZZ_converters_SOURCE ConvertersFuzzer.cpp)
set(QUILLORY_FUZZ_converters_LIBS render)
set(QUILLORY_FUZZ_header_SOURCE HeaderFuzzer.cpp)
set(QUILLORY_FUZZ_header_LIBS swf_pictures ZLIB::ZLIB LibLZMA::LibLZMA)
# Where the seed generator writes, one folder per target.
set(QUILLORY_FUZZ_SEEDS ${CMAKE_BINARY_DIR}/fuzz-seeds)

if(NOT TARGET quillory_fuzz_support)
  add_library(quillory_fuzz_support STATIC ${QUILLORY_FUZZ_DIR}/FuzzSupport.cpp)
  target_include_directories(quillory_fuzz_support PUBLIC ${PROJECT_SOURCE_DIR})
  # It knows the output files' temporary names.
  target_link_libraries(quillory_fuzz_support PUBLIC extract)
endif()

# Executable Name running fuzz target Target: with libFuzzer's main when
# LIBFUZZER is given, with the replay main otherwise.
function(quillory_fuzz_executable Name Target)
  cmake_parse_arguments(ARG "LIBFUZZER" "" "" ${ARGN})
  add_executable(${Name} ${QUILLORY_FUZZ_DIR}/${QUILLORY_FUZZ_${Target}_SOURCE})
  if(ARG_LIBFUZZER)
    target_link_options(${Name} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${Name} PRIVATE ${QUILLORY_FUZZ_DIR}/ReplayMain.cpp)
  endif()
  target_link_libraries(${Name} PRIVATE quillory_fuzz_support ${QUILLORY_FUZZ_${Target}_LIBS})
endfunction()

# The seed generator, run by the build whenever it changes (target
# quillory_fuzz_seeds). The sample movies beside the project are added when
# they are there; nothing it writes is kept in the repository.
if(NOT TARGET quillory-fuzz-seeds)
  add_executable(quillory-fuzz-seeds ${QUILLORY_FUZZ_DIR}/MakeSeeds.cpp)
  target_link_libraries(quillory-fuzz-seeds PRIVATE quillory_test_support)
  set_target_properties(quillory-fuzz-seeds PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                       ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(
    OUTPUT ${QUILLORY_FUZZ_SEEDS}/.written
    COMMAND quillory-fuzz-seeds ${QUILLORY_FUZZ_SEEDS} ${QUILLORY_CORPUS_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${QUILLORY_FUZZ_SEEDS}/.written
    DEPENDS quillory-fuzz-seeds
    COMMENT "Writing the fuzz seeds into ${QUILLORY_FUZZ_SEEDS}")
  add_custom_target(quillory_fuzz_seeds ALL DEPENDS ${QUILLORY_FUZZ_SEEDS}/.written)
endif()
