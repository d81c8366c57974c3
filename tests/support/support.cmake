# The whole program driven in memory, for the tests and the fuzz targets.
# Included from either directory; the library is made once.
if(NOT TARGET ketrovane_test_support)
  add_library(ketrovane_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/memory_environment.cpp)
  target_include_directories(ketrovane_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(ketrovane_test_support PUBLIC ketrovane_front PRIVATE ketrovane_options)
  target_compile_definitions(ketrovane_test_support PRIVATE
    KETROVANE_SHIPPED_DEF="${PROJECT_SOURCE_DIR}/Ketrovane.DEF")
endif()
