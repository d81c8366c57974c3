# The fuzz cores as a library, for the libFuzzer targets (fuzz/) and for the
# regression replay of the test suite (tests/).  Included from either
# directory; the library is made once.
if(NOT TARGET ketrovane_fuzz_cores)
  set(ketrovane_shipped_def "${PROJECT_SOURCE_DIR}/Ketrovane.DEF")
  file(READ "${ketrovane_shipped_def}" KETROVANE_SHIPPED_DEF_TEXT)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${ketrovane_shipped_def}")
  configure_file("${CMAKE_CURRENT_LIST_DIR}/shipped_defaults.hpp.in"
                 "${PROJECT_BINARY_DIR}/fuzz_generated/shipped_defaults.hpp" @ONLY)

  add_library(ketrovane_fuzz_cores STATIC
    "${CMAKE_CURRENT_LIST_DIR}/reply_reader_fuzz.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/default_file_fuzz.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/dialogue_fuzz.cpp"
    "${PROJECT_SOURCE_DIR}/tests/support/memory_environment.cpp")
  target_include_directories(ketrovane_fuzz_cores
    PUBLIC "${CMAKE_CURRENT_LIST_DIR}"
    PRIVATE "${PROJECT_SOURCE_DIR}/tests" "${PROJECT_BINARY_DIR}/fuzz_generated")
  target_link_libraries(ketrovane_fuzz_cores PUBLIC ketrovane_app PRIVATE ketrovane_options)
  target_compile_definitions(ketrovane_fuzz_cores PRIVATE
    KETROVANE_SHIPPED_DEF="${ketrovane_shipped_def}")
endif()
