# Live play, card playback, remote file search and talk against the
# simulated service (tools/camsim) on loopback.
ostrels_add_gtest(netsdk_live_play_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/live_play_test.cpp
  LIBS qn_net_session test_support
  LABELS threads
  TIMEOUT 120)
