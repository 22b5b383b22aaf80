ostrels_add_gtest(netsdk_session_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/session_test.cpp
  LIBS qn_net_session test_support
  LABELS threads
  TIMEOUT 120
  WHOLE)
