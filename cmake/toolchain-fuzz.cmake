# The fuzz build: clang, 32-bit like the other two builds, for libFuzzer targets. Only
# clang has libFuzzer; Debian's libclang-rt-14-dev carries its i386 runtime.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_POSITION_INDEPENDENT_CODE OFF)
