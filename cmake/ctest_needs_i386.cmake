# Read by CTest before the 32-bit build's test folders. On a computer that cannot execute 32-bit
# x86 code none of the tests can run, nor even be listed: say so once and list none, so that the
# run ends without failures.
execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/runs-i386
                OUTPUT_VARIABLE verdict RESULT_VARIABLE cannot OUTPUT_STRIP_TRAILING_WHITESPACE)
if(cannot)
  message("${verdict}")
  # CTest reads the test folders through this command.
  function(subdirs)
  endfunction()
endif()
