# A folder's build is the sum of its pieces: every *.cmake file in it is included and
# every sub-folder with a CMakeLists.txt is added, so a new piece never edits a shared file.
macro(orvanta_add_folder_pieces)
  file(GLOB _pieces CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  foreach(_piece ${_pieces})
    include(${_piece})
  endforeach()
  file(GLOB _subdirs LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(_dir ${_subdirs})
    if(IS_DIRECTORY ${_dir} AND EXISTS ${_dir}/CMakeLists.txt)
      add_subdirectory(${_dir})
    endif()
  endforeach()
endmacro()
