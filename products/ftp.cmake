# orvanta_ftp: FTP upload of clip images (libcurl).
add_library(orvanta_ftp STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/ftp_client.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ftp_upload.cpp)
target_link_libraries(orvanta_ftp PUBLIC orvanta_app CURL::libcurl)
