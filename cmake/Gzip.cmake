# cmake -DINPUT=file -DOUTPUT=file.gz -P Gzip.cmake: compresses as Debian wants manual pages and
# changelogs, at the best level and without a name or time stamp, so equal input gives equal bytes.
execute_process(COMMAND gzip -9n --stdout "${INPUT}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${OUTPUT}")
    message(FATAL_ERROR "gzip ${INPUT}: ${result}")
endif()
