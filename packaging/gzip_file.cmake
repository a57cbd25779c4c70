# cmake -DIN=<file> -DOUT=<file.gz> -P gzip_file.cmake: compresses IN to OUT the way Debian wants manual
# pages and changelogs: best compression, without the file's name and time, so that builds are reproducible.
find_program(GZIP_PROGRAM gzip REQUIRED)
execute_process(COMMAND ${GZIP_PROGRAM} -9 -n -c ${IN} OUTPUT_FILE ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUT})
  message(FATAL_ERROR "gzip of ${IN} failed: ${result}")
endif()
