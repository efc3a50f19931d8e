# The tests the sanitizer builds run (scripts/sanitize.sh): the detection filter's core,
# element, audio and text tests and the capture (and replay) engine's. They carry the label
# "sanitize", and the target sanitize_tests builds just them and the programs and plugin
# they load or start.
set(ORVANTA_SANITIZE_TEST_DIRS
  detectfilter_core detectfilter_gst detectfilter_audio detectfilter_text capture replay)

function(orvanta_label_sanitize_tests)
  add_custom_target(sanitize_tests)
  foreach(dir ${ORVANTA_SANITIZE_TEST_DIRS})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      set_property(DIRECTORY ${dir} APPEND PROPERTY LABELS sanitize)
      get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
      if(targets)
        add_dependencies(sanitize_tests ${targets})
      endif()
    endif()
  endforeach()
endfunction()
# The test folders are added after the pieces: label them once they exist.
cmake_language(DEFER CALL orvanta_label_sanitize_tests)
