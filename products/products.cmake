# Clip products: XML clip record, still images, area masks and their painting (plain C++).
add_library(orvanta_products STATIC
  ${CMAKE_CURRENT_LIST_DIR}/area_mask.cpp
  ${CMAKE_CURRENT_LIST_DIR}/auto_mask.cpp
  ${CMAKE_CURRENT_LIST_DIR}/avi_frame_rate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/avi_mend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bmp_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clip_record.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clip_record_params.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compose_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mask_painting.cpp
  ${CMAKE_CURRENT_LIST_DIR}/replay_still.cpp
  ${CMAKE_CURRENT_LIST_DIR}/thumbnail.cpp)
target_link_libraries(orvanta_products PUBLIC orvanta_app orvanta_pixfmt PkgConfig::TURBOJPEG)

# A finished clip's products in one call: images, their upload, the XML record.
add_library(orvanta_clip_products STATIC ${CMAKE_CURRENT_LIST_DIR}/clip_products.cpp)
target_link_libraries(orvanta_clip_products PUBLIC orvanta_products orvanta_ftp)
