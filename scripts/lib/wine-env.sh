# The one Wine set-up of every script that runs Windows programs (POSIX sh; source it).
# The caller sets root to the source tree first.
#
#   WINEPREFIX        ZOLT_WINEPREFIX, else build/wineprefix: one prefix for the demo, the
#                     tests and the screenshots, made on first use
#   WINEDEBUG         no Wine diagnostics in the tests' output
#   WINEDLLOVERRIDES  no .NET or HTML installer prompts, no menu entries on the host for the
#                     shortcuts the stub makes, no debugger keeping a crashed process alive
: "${root:?scripts/lib/wine-env.sh: set root before sourcing}"
export WINEPREFIX="${ZOLT_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

# Makes the prefix once: Wine links the user's Desktop, Documents, ... to the host's home
# folder, and the stub makes shortcuts there, so they become plain folders inside the prefix.
# The dialogs ask for "MS UI Gothic" (IPA Gothic stands in), and without a window manager Wine
# draws the window frames itself, as in the screenshots.
wine_prepare_prefix() {
  [ -f "$WINEPREFIX/.zolt-ready" ] && return 0
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
  done
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "MS UI Gothic" /d IPAGothic /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.zolt-ready"
}
