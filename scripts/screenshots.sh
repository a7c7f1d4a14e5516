#!/usr/bin/env bash
# Pictures of every page of the desktop application, drawn offscreen by the
# tests that take them, into BUILD/tests/ui/screenshots; with --readme the
# main window's picture (a sample file and a plain output folder, no paths of
# the machine) also replaces docs/quillmark-gui.png.
#
#   scripts/screenshots.sh [BUILD_DIR] [--readme]     (BUILD_DIR: build/test)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build/test"
readme=0
for arg in "$@"; do
    case "$arg" in
    --readme) readme=1 ;;
    *) build="$arg" ;;
    esac
done
tests="$build/tests/ui/quillmark_ui_tests"
[ -x "$tests" ] || { echo "no $tests: build the target quillmark_ui_tests first" >&2; exit 1; }
shots="$build/tests/ui/screenshots"
rm -rf "$shots"
QT_QPA_PLATFORM=offscreen "$tests" \
    --gtest_filter='Screenshots.*:Run.RangeBeyondTheLastPageFailsTheFile:Settings.SaveNeverNarrowsThePagesShown' >/dev/null
ls "$shots"
if [ "$readme" = 1 ]; then
    cp "$shots/readme-main-window.png" "$here/docs/quillmark-gui.png"
    echo "docs/quillmark-gui.png replaced"
fi
