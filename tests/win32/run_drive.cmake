# Installs the build into a fresh folder and runs drive_pellix over it under wine.
# cmake -DBUILD_DIR= -DSTAGE= -DSCRATCH= -DDRIVER= -DWINE_RUN= -DWINE_PREFIX= -P run_drive.cmake
file(REMOVE_RECURSE "${STAGE}" "${SCRATCH}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${STAGE}"
                RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${installed})")
endif()
file(MAKE_DIRECTORY "${SCRATCH}")

# wine names the host's root Z:.
string(REPLACE "/" "\\" stage_win "Z:${STAGE}")
string(REPLACE "/" "\\" scratch_win "Z:${SCRATCH}")
execute_process(COMMAND "${WINE_RUN}" "${WINE_PREFIX}" "${DRIVER}" "${stage_win}" "${scratch_win}"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "drive_pellix failed (${result})")
endif()
