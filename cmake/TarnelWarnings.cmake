# Our own code compiles clean with these; third-party headers are included as system headers.
function(tarnel_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()
