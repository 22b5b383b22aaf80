# The device calls and the alarm picture against the simulated management
# server. Each test is its own process, so the slow ones (waits that run out)
# run beside the others.
ostrels_add_gtest(netsdk_device_calls_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/device_calls_test.cpp
  LIBS qn_net_session test_support
  TIMEOUT 60)
