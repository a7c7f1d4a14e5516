#!/usr/bin/env bash
# Installs the build tree into a scratch DESTDIR, as a package build does, and
# checks what a user of a Linux desktop gets: both programs, the help page,
# the menu entry and its icon, the manual page and the shell completion; then
# installs under another prefix and runs the program there.
# Usage: check_install.sh CMAKE BUILD_DIR WITH_GUI(0|1) CONFIGURED_PREFIX DATA_DIR
# DATA_DIR is the data folder compiled into the programs.
set -euo pipefail

cmake=$1
build=$2
with_gui=$3
configured_prefix=$4
data_dir=$5

dest=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-install-test.XXXXXX")
trap 'rm -rf "$dest"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

DESTDIR=$dest "$cmake" --install "$build" --prefix /usr >"$dest.log" 2>&1 ||
    { cat "$dest.log" >&2; rm -f "$dest.log"; echo "FAIL: cmake --install" >&2; exit 1; }
rm -f "$dest.log"
root=$dest/usr

expected=(
    bin/quillmark
    share/quillmark/Quillmark.html
    share/man/man1/quillmark.1
    share/bash-completion/completions/quillmark
)
if [ "$with_gui" = 1 ]; then
    expected+=(
        bin/quillmark-gui
        share/applications/quillmark-gui.desktop
        share/icons/hicolor/scalable/apps/quillmark.svg
    )
fi
for f in "${expected[@]}"; do
    [ -f "$root/$f" ] || fail "$f is not installed"
done
for f in bin/quillmark bin/quillmark-gui; do
    [ ! -e "$root/$f" ] || [ -x "$root/$f" ] || fail "$f is not executable"
done
# The files for the desktop and the shell live in data/ beside the run-time
# data, but only the run-time data belongs in the program's data folder.
for f in quillmark.1 quillmark-gui.desktop quillmark.svg quillmark.bash-completion; do
    [ ! -e "$root/share/quillmark/$f" ] || fail "share/quillmark/$f is installed with the run-time data"
done

version=$("$root/bin/quillmark" --version) || fail "the installed quillmark --version exits $?"
[[ $version =~ ^quillmark\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "quillmark --version printed '$version'"

if [ "$with_gui" = 1 ]; then
    if command -v desktop-file-validate >/dev/null; then
        out=$(desktop-file-validate "$root/share/applications/quillmark-gui.desktop" 2>&1) ||
            fail "desktop-file-validate: $out"
        [ -z "$out" ] || fail "desktop-file-validate: $out"
    else
        echo "desktop-file-validate is missing: the desktop entry is not validated" >&2
    fi
    grep -qx 'Exec=quillmark-gui' "$root/share/applications/quillmark-gui.desktop" ||
        fail "the desktop entry does not start quillmark-gui"
fi

man_page=$root/share/man/man1/quillmark.1
if command -v man >/dev/null; then
    # With --warnings groff reports an unknown macro or a bad escape on standard
    # error; man itself still exits 0 then.
    text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$man_page" 2>"$dest/man.err") || fail "man -l exits $?"
    [ ! -s "$dest/man.err" ] || fail "man -l: $(cat "$dest/man.err")"
    [[ $text == *"QUILLMARK(1)"* ]] || fail "man -l renders no QUILLMARK(1) page"
else
    echo "man is missing: the manual page is not rendered" >&2
fi

completion=$root/share/bash-completion/completions/quillmark
bash -n "$completion" || fail "the bash completion does not parse"

# The manual page and the completion must follow the options of --help: a
# long option that either of them lacks was added without them.
help=$("$root/bin/quillmark" --help)
options=$(grep -oE -- '--[a-z][a-z0-9-]+' <<<"$help" | sort -u)
[ -n "$options" ] || fail "quillmark --help lists no long option"
for opt in $options; do
    grep -qF -- "${opt//-/\\-}" "$man_page" || fail "the manual page lacks $opt"
    grep -qE -- "(^|[ '])$opt( |'|$)" "$completion" || fail "the bash completion lacks $opt"
done

# An install under the configured prefix puts the help page into the data
# folder compiled into the programs.
DESTDIR=$dest/configured "$cmake" --install "$build" --prefix "$configured_prefix" >/dev/null 2>&1 ||
    fail "cmake --install --prefix $configured_prefix"
[ -f "$dest/configured$data_dir/Quillmark.html" ] ||
    fail "an install under $configured_prefix leaves $data_dir without the help page"

# Under another prefix the programs find their data beside them
# (../share/quillmark): a font map placed there must decide the substitute
# of a font that is named in the PDF but not installed. The prefix is made
# to differ from the configured one.
other=$dest/elsewhere/qm-prefix
"$cmake" --install "$build" --prefix "$other" >/dev/null 2>&1 || fail "cmake --install --prefix $other"
substitute=$(fc-match -f '%{family[0]}' sans 2>/dev/null || true)
if [ -n "$substitute" ] && [ -x "$other/bin/quillmark" ]; then
    printf 'Futura=%s\n' "$substitute" >"$other/share/quillmark/xml2rtffont.map"
    # A one-page PDF whose font Futura is named, not embedded.
    python3 - "$dest/futura.pdf" <<'PY'
import sys
objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
        None,
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Futura /Encoding /WinAnsiEncoding >>"]
stream = b"BT /F1 24 Tf 72 700 Td (Moved install) Tj ET"
objs[3] = b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"\nendstream"
out = bytearray(b"%PDF-1.4\n")
offsets = []
for i, body in enumerate(objs, 1):
    offsets.append(len(out))
    out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
xref = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
for o in offsets:
    out += b"%010d 00000 n \n" % o
out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
open(sys.argv[1], "wb").write(out)
PY
    mkdir -p "$dest/xdg"
    XDG_CONFIG_HOME=$dest/xdg "$other/bin/quillmark" -q -f rtf -o "$dest/moved" "$dest/futura.pdf" ||
        fail "the quillmark installed under $other exits $?"
    grep -qF "$substitute;" "$dest/moved/futura.rtf" ||
        fail "the quillmark installed under $other does not read the font map in its share/quillmark"
else
    echo "fontconfig names no sans face: the moved install is not run" >&2
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installed files, --version, desktop entry, manual page and completion are in order"
