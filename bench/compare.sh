#!/usr/bin/env bash
# Compares two output folders made by bench/outputs.sh byte for byte (the
# run logs aside) and prints the number of files compared.
#   bench/compare.sh REFERENCE NEW
set -uo pipefail
ref="${1:?usage: compare.sh REFERENCE NEW}"
new="${2:?usage: compare.sh REFERENCE NEW}"
status=0
diff <(cd "$ref" && find . -type f ! -name '*.log' | sort) <(cd "$new" && find . -type f ! -name '*.log' | sort) || status=1
count=0
while IFS= read -r f; do
    count=$((count + 1))
    [ -f "$new/$f" ] && { cmp -s "$ref/$f" "$new/$f" || { echo "differs: $f"; status=1; }; }
done < <(cd "$ref" && find . -type f ! -name '*.log' | sort)
echo "$count files compared, $([ $status -eq 0 ] && echo identical || echo DIFFERENCES)"
exit $status
