# Warnings for our own targets; third-party headers are included as system headers.
function(brevanto_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
        -Wunused -Woverloaded-virtual -Wnull-dereference -Wdouble-promotion -Wformat=2
        -Wimplicit-fallthrough -Werror)
endfunction()
