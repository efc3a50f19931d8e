# The tests the sanitizer builds run (scripts/sanitize.sh). Those of the detection filter's
# core, element, audio and text and of the capture (and replay) engine carry the label
# "sanitize" (AddressSanitizer+UBSan); the target sanitize_tests builds just them and the
# programs and plugin they load or start. The ones whose threads are all our own carry
# "tsan" too (target tsan_tests): ThreadSanitizer cannot see the hand-offs inside GLib and
# GStreamer (not instrumented, their locks are futexes), so every buffer or message a
# GStreamer thread passes on reads to it as a race.
set(ORVANTA_SANITIZE_TEST_DIRS
  detectfilter_core detectfilter_gst detectfilter_audio detectfilter_text capture replay
  replayfilter)
set(ORVANTA_TSAN_TEST_DIRS detectfilter_core detectfilter_audio detectfilter_text)

function(orvanta_label_tests label target)
  add_custom_target(${target})
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      set_property(DIRECTORY ${dir} APPEND PROPERTY LABELS ${label})
      get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
      if(targets)
        add_dependencies(${target} ${targets})
      endif()
    endif()
  endforeach()
endfunction()
# The test folders are added after the pieces: label them once they exist.
cmake_language(DEFER CALL orvanta_label_tests sanitize sanitize_tests ${ORVANTA_SANITIZE_TEST_DIRS})
cmake_language(DEFER CALL orvanta_label_tests tsan tsan_tests ${ORVANTA_TSAN_TEST_DIRS})
