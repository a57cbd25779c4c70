#!/usr/bin/env bash
# Every manual page given renders without a warning, both through man (as a user reads it) and through
# groff with all warnings on.
set -euo pipefail
status=0
for page in "$@"; do
  [ -s "$page" ] || { echo "FAIL: $page is missing (build the target clubiqa_package_files)" >&2; status=1; continue; }
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || { echo "FAIL: man -l $page failed" >&2; status=1; }
  [ -z "$warnings" ] || { echo "FAIL: man warns about $page:" >&2; echo "$warnings" >&2; status=1; }
  warnings=$(zcat -f "$page" | groff -ww -z -man 2>&1) || status=1
  [ -z "$warnings" ] || { echo "FAIL: groff warns about $page:" >&2; echo "$warnings" >&2; status=1; }
  name=$(basename "$page" .1.gz)
  rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
  grep -q "^NAME" <<< "$rendered" || { echo "FAIL: $page has no NAME section" >&2; status=1; }
  source=$(zcat -f "$page")
  grep -q "^${name//-/\\\\-} \\\\- " <<< "$source" || { echo "FAIL: $page: NAME does not start with $name" >&2; status=1; }
done
[ "$status" -eq 0 ] && echo "manual pages: ok ($# pages)"
exit "$status"
