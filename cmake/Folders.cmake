# Each library sees the headers of its own folder and of the libraries it
# links, and no others: tolv_folder_headers(target folder) makes
# "<folder>/x.h" includable for the target and, through PUBLIC, for whoever
# links it. Every folder's headers come from a directory of their own that
# holds only a link to that folder.
function(tolv_folder_headers target folder)
  set(root ${CMAKE_BINARY_DIR}/headers/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
