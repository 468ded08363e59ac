# Run by cpack (the External generator) on the staged Windows folder: makes
# Pellix-<version>-win64.zip holding it below a folder of the same name, its entries in
# name order and every time SOURCE_DATE_EPOCH, so the zip depends on its files alone.
set(top "${CPACK_PACKAGE_FILE_NAME}")
file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${CPACK_TEMPORARY_DIRECTORY}"
     "${CPACK_TEMPORARY_DIRECTORY}/*")
list(SORT entries)
# A folder named is packed with all it holds, so only files and empty folders are named.
set(listing "")
foreach(entry IN LISTS entries)
  set(path "${CPACK_TEMPORARY_DIRECTORY}/${entry}")
  if(IS_DIRECTORY "${path}")
    file(GLOB inside "${path}/*")
    if(inside)
      continue()
    endif()
  endif()
  string(APPEND listing "${top}/${entry}\n")
endforeach()
set(zip "${CPACK_TOPLEVEL_DIRECTORY}/${top}.zip")
file(WRITE "${CPACK_TOPLEVEL_DIRECTORY}/${top}.entries" "${listing}")
file(REMOVE "${zip}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip
                        "--files-from=${top}.entries"
                WORKING_DIRECTORY "${CPACK_TOPLEVEL_DIRECTORY}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot make ${zip}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES "${zip}")
