# Cross-building the converter for 64-bit Windows on Linux with mingw-w64, and running what
# it builds (the tests) under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
# The posix flavour: std::thread and std::mutex need its threading model.
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One exe and nothing beside it: the compiler's runtime, the C++ library and the threads
# library linked in, so that only the system's own DLLs are loaded.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# zlib's static library, not its import library: no zlib1.dll beside the exe either.
set(ZLIB_USE_STATIC_LIBS ON)

# Offsets and sizes of 64 bits in every C library call, so that a table past 4 GB is not cut.
add_compile_definitions(_FILE_OFFSET_BITS=64 UNICODE _UNICODE)

# stb is headers only, the same for every target: the build machine's, through a folder that
# holds nothing else (the whole of /usr/include would hide mingw's own headers).
if(NOT STB_INCLUDE_DIR AND EXISTS /usr/include/stb/stb_image_write.h)
  set(stb_only ${CMAKE_BINARY_DIR}/stb_include)
  file(MAKE_DIRECTORY ${stb_only})
  if(NOT EXISTS ${stb_only}/stb)
    file(CREATE_LINK /usr/include/stb ${stb_only}/stb SYMBOLIC)
  endif()
  set(STB_INCLUDE_DIR ${stb_only} CACHE PATH "stb's headers, for the target as for the build machine")
endif()

find_program(WINE_PROGRAM wine)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
