# Warnings on for our own code; third-party headers come in as system headers.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                        -Wold-style-cast -Wcast-align -Woverloaded-virtual
                        -Wconversion -Wsign-conversion -Wnull-dereference
                        -Wimplicit-fallthrough)
elseif(MSVC)
    add_compile_options(/W4 /permissive-)
endif()
