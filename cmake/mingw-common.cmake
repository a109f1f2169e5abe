# Shared part of the mingw-w64 toolchains; VELTRANE_TRIPLET names the target.
set(CMAKE_C_COMPILER ${VELTRANE_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VELTRANE_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${VELTRANE_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VELTRANE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# No mingw runtime DLLs beside the executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
