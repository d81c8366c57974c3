# The fuzz cores as a library, for the libFuzzer targets (fuzz/) and for the
# regression replay of the test suite (tests/).  Included from either
# directory; the library is made once.
if(NOT TARGET ketrovane_fuzz_cores)
  include(${PROJECT_SOURCE_DIR}/tests/support/support.cmake)
  add_library(ketrovane_fuzz_cores STATIC
    "${CMAKE_CURRENT_LIST_DIR}/reply_reader_fuzz.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/default_file_fuzz.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/dialogue_fuzz.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/calc_options_fuzz.cpp")
  target_include_directories(ketrovane_fuzz_cores PUBLIC "${CMAKE_CURRENT_LIST_DIR}")
  target_link_libraries(ketrovane_fuzz_cores PUBLIC ketrovane_test_support ketrovane_commands
    PRIVATE ketrovane_options)
endif()
