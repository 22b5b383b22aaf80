# Tests of the platform pieces basekit added: shared memory, ICMP echo, the
# clock setter's arithmetic, descriptors and file-use checks.
ostrels_add_gtest(platform_basekit_pieces_test
  SOURCES shared_memory_test.cpp icmp_echo_test.cpp system_time_test.cpp file_descriptors_test.cpp
  LIBS ostrels_platform)
