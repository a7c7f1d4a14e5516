#!/usr/bin/env bash
# The container recipe keeps its shape (it is not built here: that needs the
# network): a Debian 12 base, the project's own package made by CPack,
# Ghostscript and fonts installed, a non-root user, and tini as PID 1 in
# front of quillmark.
#
#   check_dockerfile.sh DOCKERFILE
set -uo pipefail
file="${1:?usage: check_dockerfile.sh DOCKERFILE}"
status=0
expect() {
    grep -Eq "$2" "$file" || { echo "FAIL: $1 (no line matches: $2)" >&2; status=1; }
}
expect "Debian 12 base" '^FROM debian:12(-slim)?( |$)'
expect "the package built by CPack" 'cpack -G DEB'
expect "the package installed" 'apt-get install .*quillmark\.deb'
expect "Ghostscript installed" 'install .*ghostscript'
expect "fonts installed" 'fonts-liberation'
expect "a user made" 'useradd'
expect "a non-root user" '^USER [a-z]'
expect "tini as PID 1" '^ENTRYPOINT \["/usr/bin/tini", "--", "quillmark"\]'
if grep -Eq '^USER (root|0)' "$file"; then echo "FAIL: runs as root" >&2; status=1; fi
exit $status
