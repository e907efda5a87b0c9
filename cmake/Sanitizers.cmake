# Sanitizer builds exist to run the tests: -O1 with line tables only (stack traces keep their
# file and line) compiles in about half the time of the plain build's -O2 -g.
if(BREVANTO_SANITIZE STREQUAL "address" OR BREVANTO_SANITIZE STREQUAL "thread")
    add_compile_options(-O1 -g1)
endif()

if(BREVANTO_SANITIZE STREQUAL "address")
    # GCC's maybe-uninitialized analysis misfires on instrumented standard library code
    # (std::regex, std::function); the plain build keeps the warning.
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
        -Wno-maybe-uninitialized)
    add_link_options(-fsanitize=address,undefined)
elseif(BREVANTO_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT BREVANTO_SANITIZE STREQUAL "")
    message(FATAL_ERROR "BREVANTO_SANITIZE must be empty, address or thread")
endif()
