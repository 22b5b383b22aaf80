# Sockets of the network SDK.
ostrels_add_gtest(platform_net_socket_test SOURCES net_socket_test.cpp LIBS ostrels_platform test_support)
