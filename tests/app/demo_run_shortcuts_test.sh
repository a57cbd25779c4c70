#!/usr/bin/env bash
# A whole run of the upgrader over the demo server, on the console, with a scratch home that holds the six
# Clubiqa and Sorelda launchers (on the desktop named by the user-dirs file and in the user's menu, one in
# the menu of all users too): each ends with the description of its row, and nothing else in the home changes,
# not even a mode or a leftover file.
set -euo pipefail
upgrader=$1
demo_tool=$2

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; echo "--- output:" >&2; cat "$dir/out.txt" >&2 2>/dev/null || true; exit 1; }

cp "$upgrader" "$dir/clubiqa-sql-update"
"$demo_tool" "$dir" > "$dir/tool.txt" || fail "demo server not built"

home=$dir/home
export HOME=$home XDG_DATA_DIRS=$dir/share
unset XDG_CONFIG_HOME XDG_DATA_HOME
desktop=$home/Schreibtisch
menu=$home/.local/share/applications/Vendaro
common_menu=$dir/share/applications/Vendaro
program="$home/Clubiqa vanta/clubiqa"
mkdir -p "$home/.config" "$desktop" "$home/Desktop" "$menu/Clubiqa" "$menu/Sorelda" "$common_menu/Clubiqa" \
         "$(dirname "$program")"
printf '#!/bin/sh\nexit 0\n' > "$program"
chmod 755 "$program"
printf '# written by hand\nXDG_DESKTOP_DIR="$HOME/Schreibtisch"\n' > "$home/.config/user-dirs.dirs"
printf 'export PS1="$ "\n' > "$home/.bashrc"

# launcher NAME COMMENT [crlf]: a desktop entry with a plain and a German comment and an action of its own.
launcher() {
  local text
  text=$(printf '[Desktop Entry]\nType=Application\nName=%s\nComment=%s\nComment[de]=%s\nExec="%s" %%f\n' \
                "$1" "$2" "$2" "$program"
         printf 'Actions=new;\n\n[Desktop Action new]\nName=New club\nComment=stays\nExec="%s" --new\n' "$program")
  if [ "${3:-}" = crlf ]; then printf '%s\r\n' "${text//$'\n'/$'\r\n'}"; else printf '%s\n' "$text"; fi
}

# The six launchers as file, name, old comment, new comment, line ends, mode.
rows=(
  "$desktop/Sorelda 2013.desktop|Sorelda|Sorelda 2012|Sorelda 2013|lf|644"
  "$menu/Sorelda/Sorelda Duo 2013.desktop|Sorelda Duo|Sorelda Duo|Sorelda Duo 2013|crlf|644"
  "$desktop/Clubiqa vanta.desktop|Clubiqa vanta|Vereinsverwaltung|Clubiqa vanta|lf|755"
  "$menu/Clubiqa/Clubiqa.desktop|Clubiqa|Clubiqa 2012|Clubiqa|lf|600"
  "$desktop/Clubiqa vanta 2013.desktop|Clubiqa vanta|Clubiqa vanta 2013|Clubiqa vanta 2014|crlf|644"
  "$menu/Clubiqa/Clubiqa 2013.desktop|Clubiqa|Clubiqa 2013|Clubiqa 2014|lf|664"
)
mkdir -p "$dir/expected"
for row in "${rows[@]}"; do
  IFS='|' read -r file name old new ends mode <<< "$row"
  launcher "$name" "$old" "$ends" > "$file"
  chmod "$mode" "$file"
done
# Launchers that no row names, or that are not where the desktop is, stay as they are.
launcher "Clubiqa vanta 2012" "Clubiqa vanta 2012" > "$desktop/Clubiqa vanta 2012.desktop"
launcher "Clubiqa" "old desktop" > "$home/Desktop/Clubiqa.desktop"
launcher "Clubiqa vanta" "all users" > "$common_menu/Clubiqa/Clubiqa vanta.desktop"

# What the home must look like afterwards: the same tree with the six launchers rewritten.
cp -a "$home" "$dir/expected/home"
for row in "${rows[@]}"; do
  IFS='|' read -r file name old new ends mode <<< "$row"
  launcher "$name" "$new" "$ends" > "$dir/expected/home/${file#"$home"/}"
done

set +e
(cd / && env -u DISPLAY "$dir/clubiqa-sql-update" > "$dir/out.txt" 2>&1)
status=$?
set -e
[ "$status" -eq 0 ] || fail "exit code $status"
[ "$(tail -n 1 "$dir/out.txt")" = "[Informationen] UPDATE erfolgreich ausgeführt!" ] || fail "last line"

diff -r "$dir/expected/home" "$home" > "$dir/diff.txt" || { cat "$dir/diff.txt" >&2; fail "home differs"; }
listing() { (cd "$1" && find . -printf '%P %y %m\n' | sort); }
[ "$(listing "$dir/expected/home")" = "$(listing "$home")" ] || fail "modes or file kinds changed"
grep -q '^Comment=Clubiqa vanta$' "$common_menu/Clubiqa/Clubiqa vanta.desktop" || fail "all users' menu"
grep -c 'Comment' "$desktop/Clubiqa vanta 2013.desktop" | grep -qx 3 || fail "comment lines"
echo "demo run with shortcuts: ok"
