# Warnings are bugs: every target of the project gets the same strict set.
# scripts/mac-compile-check.sh reads the same list.
set(TANDRILL_WARNING_FLAGS
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Woverloaded-virtual -Wconversion -Wsign-conversion -Wformat=2
    -Wimplicit-fallthrough)
add_library(tandrill_options INTERFACE)
target_compile_options(tandrill_options INTERFACE ${TANDRILL_WARNING_FLAGS})
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(tandrill_options INTERFACE -Wduplicated-cond -Wlogical-op)
endif()
# A warning stops the build here as it does in the macOS check, so none is noticed only there.
if(TANDRILL_WARNINGS_AS_ERRORS)
    target_compile_options(tandrill_options INTERFACE -Werror)
endif()

if(TANDRILL_SANITIZE)
    target_compile_options(tandrill_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                      -fno-sanitize-recover=undefined)
    target_link_options(tandrill_options INTERFACE -fsanitize=address,undefined)
endif()
