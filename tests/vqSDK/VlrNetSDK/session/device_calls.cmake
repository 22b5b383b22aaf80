# The device calls and the alarm picture against the simulated management
# server. Each test is its own process, so the slow ones (waits that run out)
# run beside the others.
ostrels_add_gtest(netsdk_device_calls_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/device_calls_test.cpp
  LIBS qn_net_session test_support
  LABELS threads
  TIMEOUT 60
  WHOLE)
ostrels_add_gtest(netsdk_device_silence_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/device_silence_test.cpp
  LIBS qn_net_session test_support
  TIMEOUT 60
  WHOLE)
ostrels_add_gtest(netsdk_device_local_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/device_local_test.cpp
  LIBS qn_net_session test_support
  TIMEOUT 60
  WHOLE)
ostrels_add_gtest(netsdk_device_alarm_picture_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/device_alarm_picture_test.cpp
  LIBS qn_net_session test_support
  LABELS threads
  TIMEOUT 60
  WHOLE)
ostrels_add_gtest(netsdk_camsim_service_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/camsim_service_test.cpp
  LIBS qn_net_session test_support
  LABELS threads
  TIMEOUT 60
  WHOLE)
