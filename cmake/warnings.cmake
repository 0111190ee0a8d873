# Warnings for the project's own code (not for GoogleTest, which is added later).
set(PROJECT_WARNINGS -Wall -Wextra -Wshadow -Wno-unused-parameter)
# A pointer squeezed into 32 bits goes unnoticed under Wine, whose heap tends to stay below
# 4 GB, so the x64 build names every cast between pointers and integers of another size
# and every narrowing of a pointer-sized integer (an LRESULT or LONG_PTR into an int).
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND PROJECT_WARNINGS -Wconversion -Werror=int-to-pointer-cast)
endif()
