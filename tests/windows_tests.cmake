# The Windows build's tests, run through wine (the toolchain's emulator): the
# test binary once, without the cases that ask what wine cannot give (a real
# audio device, a second process's locks, the desktop's tools), and the same
# script played by both builds.
set(KK_WINE_SKIPS
    # wine has no audio device for SDL in a headless run, so no "device" sink.
    Audio.DeviceSink*
    # The x11 and install checks are Linux's own; so is xdg-open.
    *ManualLink*)
string(REPLACE ";" ":" KK_WINE_SKIPS "${KK_WINE_SKIPS}")
add_test(NAME windows_suite
    COMMAND klangkelter_tests --gtest_brief=1 --gtest_filter=-AllDay.*:${KK_WINE_SKIPS})
set_tests_properties(windows_suite PROPERTIES TIMEOUT 1500 LABELS windows
    ENVIRONMENT "WINEDEBUG=-all;KK_FIXTURE_CACHE=${CMAKE_CURRENT_BINARY_DIR}/fixture-cache")
