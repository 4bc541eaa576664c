# The build of the demo, the tests and the packages (bash; source it from the source tree).
# The Windows stub, zsfx.exe and the Wine test driver (windows preset), then zsfx for Linux
# with its tests (host preset). scripts/install-deps.sh installs what they need.
build_windows_and_host() {
  cmake --preset windows >/dev/null
  cmake --build --preset windows
  cmake --preset host >/dev/null
  cmake --build --preset host
}
