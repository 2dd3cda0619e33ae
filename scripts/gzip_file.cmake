# Compresses one file with gzip at the highest level, without a stored name or
# time stamp, so that the result depends on the contents alone:
#
#   cmake -DINPUT=doc/xev.1 -DOUTPUT=xev.1.gz -P scripts/gzip_file.cmake
foreach(var INPUT OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "gzip_file: ${var} is not set")
  endif()
endforeach()

get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")

find_program(GZIP gzip)
if(GZIP)
  execute_process(
    COMMAND "${GZIP}" -9 -n -c "${INPUT}"
    OUTPUT_FILE "${OUTPUT}"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip_file: gzip failed on ${INPUT}")
  endif()
else()
  # CMake's own archiver, for build hosts without gzip.
  file(ARCHIVE_CREATE OUTPUT "${OUTPUT}" PATHS "${INPUT}" FORMAT raw
       COMPRESSION GZip COMPRESSION_LEVEL 9)
endif()
