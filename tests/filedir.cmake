# The file-system helpers' tests: the Windows test program, its date tests
# once more in a time zone far from universal time, its double-byte names
# once more in a Japanese locale, the item date checked from the Linux side,
# and drive types in a Wine prefix of their own.
quarnel_add_test(test_filedir filedir_test.cpp)

add_test(NAME test_filedir_zone COMMAND test_filedir --gtest_filter=FileDir.Date*
  WORKING_DIRECTORY ${QUARNEL_TEST_DIR})
set_tests_properties(test_filedir_zone PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120
  ENVIRONMENT "TZ=Pacific/Kiritimati;QUARNEL_EXPECT_ZONE=Pacific/Kiritimati")

# Double-byte names in a process of a Japanese locale (code page 932 for
# ANSI and OEM alike); scripts/deps.sh generates the locale.
add_test(NAME test_filedir_ja COMMAND test_filedir --gtest_filter=FileDir.DoubleByte*
  WORKING_DIRECTORY ${QUARNEL_TEST_DIR})
set_tests_properties(test_filedir_ja PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120
  ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8;QUARNEL_EXPECT_ACP=932")

# Stamps a file through the program and reads its modification time with
# the host's own tools: 1998-09-09 00:00:00 UTC, whatever the zone.
add_test(NAME test_filedir_stamp_host COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/filedir/stamp.sh
  ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/wine/run.sh $<TARGET_FILE:test_filedir>)
set_tests_properties(test_filedir_stamp_host PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)

# Maps extra drive letters with given types in a prefix of this test's own
# (the Wine server must restart for new types, which would stop everything
# else running in the shared prefix), then checks which ones are accepted.
add_test(NAME test_filedir_drives COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/filedir/drives.sh
  ${CMAKE_BINARY_DIR} $<TARGET_FILE:test_filedir>)
set_tests_properties(test_filedir_drives PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
