# Installs the ketrovane package (run by cmake --install, which sets
# CMAKE_INSTALL_PREFIX to the prefix of the installation).
string(REGEX REPLACE "/+$" "" prefix "${CMAKE_INSTALL_PREFIX}")
if(ketrovane_python_dir STREQUAL "")
  if(prefix STREQUAL "/usr")
    set(ketrovane_python_dir "lib/python3/dist-packages")
  elseif(prefix STREQUAL "/usr/local")
    set(ketrovane_python_dir "lib/python${ketrovane_python_version}/dist-packages")
  else()
    set(ketrovane_python_dir "lib/python${ketrovane_python_version}/site-packages")
  endif()
endif()
set(destination "${prefix}/${ketrovane_python_dir}/ketrovane")
file(INSTALL DESTINATION "${destination}" TYPE FILE
     FILES "${ketrovane_python_init}" "${ketrovane_python_functions}")
file(INSTALL DESTINATION "${destination}" TYPE MODULE FILES "${ketrovane_python_module}")
