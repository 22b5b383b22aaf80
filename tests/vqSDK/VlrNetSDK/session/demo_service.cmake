# The demo service of scripts/demo-service.sh, met as the client meets it:
# its endpoint section, web tables, sign-in, camera list and live play.
ostrels_add_gtest(netsdk_demo_service_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/demo_service_test.cpp
  LIBS qn_net_session qn_app_net qn_streams test_support
  LABELS threads
  TIMEOUT 120)
