# The MD5 engine (codec/Md5.h) is not exported by the library; the benchmarks reach it through
# the static twin, which exists to give tests and benchmarks the unexported pieces.
target_include_directories(harbex_static INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
