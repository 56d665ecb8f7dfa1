# The target application of the desktop tests and benchmarks (TargetApp.cpp), defined once for
# both: the benchmarks are also built without the tests.
add_executable(ambrel-test-target ${CMAKE_CURRENT_LIST_DIR}/TargetApp.cpp)
target_link_libraries(ambrel-test-target PRIVATE Qt6::Widgets)
