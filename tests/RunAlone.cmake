# Read by ctest after the discovered tests. Filling the window's buffer of a million
# readings is seconds of work, and many more under the sanitizers while other tests share
# the cores: that test runs alone.
set_tests_properties(LiveLoopTest.AFullBufferStopsTheRunAndSaysWhy PROPERTIES RUN_SERIAL TRUE)
