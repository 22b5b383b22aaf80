# Live play, card playback, remote file search and talk against the
# simulated service (tools/camsim) on loopback.
ostrels_add_gtest(netsdk_live_play_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/live_play_test.cpp
  LIBS qn_net_session test_support
  LABELS threads
  TIMEOUT 120
  WHOLE)
ostrels_add_gtest(netsdk_play_playback_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/play_playback_test.cpp
  LIBS qn_net_session test_support
  LABELS threads
  TIMEOUT 120
  WHOLE)
# The ThreadSanitizer run makes 200 cycles of each kind (OSTRELS_PLAY_CYCLES).
ostrels_add_gtest(netsdk_live_play_cycles_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/live_play_cycles_test.cpp
  LIBS qn_net_session test_support
  LABELS threads
  TIMEOUT 900
  WHOLE WHOLE_TIMEOUT 1800)
