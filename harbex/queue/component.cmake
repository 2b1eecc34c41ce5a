# The queue updates its packet count and byte count one by one on purpose. Paired by the
# vectoriser into one 8-byte load, an insertion right after a distillation cannot take the
# value from that call's two 4-byte stores and waits for them to reach the cache, which made
# every step of a busy queue a third slower.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set_source_files_properties(queue/DataQueue.cpp PROPERTIES COMPILE_OPTIONS
                                                               -fno-tree-slp-vectorize)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set_source_files_properties(queue/DataQueue.cpp PROPERTIES COMPILE_OPTIONS -fno-slp-vectorize)
endif()
