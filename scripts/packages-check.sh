#!/bin/bash
# Run inside a fresh Debian root by scripts/test-packages: installs the
# package as a user would, plays it as a fresh non-root user on a virtual
# display, and purges it. One line per check, "ok - ..." or "not ok - ...".
# Usage: packages-check.sh PACKAGE.deb VERSION
set -uo pipefail
deb=$1 version=$2
export DEBIAN_FRONTEND=noninteractive
failed=0
ok() { echo "ok - $1"; }
not_ok() { echo "not ok - $1"; failed=1; }
check() { local what=$1; shift; if "$@"; then ok "$what"; else not_ok "$what"; fi; }

apt-get -q update >/dev/null || { not_ok "apt-get update"; exit 1; }
dpkg-query -W -f='${Package}\n' | sort >/tmp/before
if apt-get -q install -y "$deb" >/tmp/install.log 2>&1; then
  ok "apt-get install ./$(basename "$deb")"
else
  tail -n 20 /tmp/install.log
  not_ok "apt-get install ./$(basename "$deb")"
  exit 1
fi
dpkg-query -W -f='${Package}\n' | sort >/tmp/after
pulled=$(comm -13 /tmp/before /tmp/after)
echo "# pulled $(wc -l <<<"$pulled") packages: $(grep -m1 -E '^Need to get' /tmp/install.log || true)"
# What a user's machine needs to play: no compilers, no development files.
check "it pulls no development packages or compilers" \
  bash -c '! grep -E -- "-dev$|^gcc|^g\+\+|^cpp|^cmake$|^make$" <<<"$1"' _ "$pulled"
# A user's shell finds games in /usr/games; root's PATH has no games.
export PATH=$PATH:/usr/games
check "veldmarrow --version says $version" [ "$(veldmarrow --version)" = "Veldmarrow $version" ]
dpkg -L veldmarrow >/tmp/files

# The tools of the check, installed after the package's own install was judged.
apt-get -q install -y --no-install-recommends xvfb xauth xdotool x11-utils >/tmp/tools.log 2>&1 ||
  { tail -n 20 /tmp/tools.log; not_ok "installing Xvfb and xdotool"; exit 1; }
useradd -m -s /bin/bash player
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/*.desktop | sed -E 's/ ?%[fFuUick]//g')
cat >/home/player/play.sh <<'PLAY'
#!/bin/bash
# As the player: start the command on a display of its own, leave the splash,
# play a few frames, press Escape; prints the exit status.
set -u
folder=$HOME/.local/share/veldmarrow
wait_until() { # SECONDS COMMAND...: polls until COMMAND succeeds
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.2; done
}
# The display number comes from Xvfb itself; the run has a network of its
# own (as_player), so the X servers of the host's other runs, whose
# abstract sockets a shared network would show, are out of its reach.
rm -f "$HOME/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$HOME/display" 2>/dev/null &
xvfb=$!
wait_until 60 test -s "$HOME/display" || { echo "no display"; kill $xvfb; exit 99; }
export DISPLAY=:$(head -n 1 "$HOME/display")
cd "$1" || exit 98
shift
"$@" >/dev/null 2>"$HOME/stderr.txt" &
program=$!
logged() { grep -q "$1" "$folder/log.txt" 2>/dev/null; }
window=
find_window() { window=$(xdotool search --onlyvisible --name '^Veldmarrow$' 2>/dev/null | head -n 1); [ -n "$window" ]; }
press() { xdotool windowfocus --sync "$window" key "$1" 2>/dev/null; }
status=97
if wait_until 120 find_window && wait_until 120 logged "IntroState Init"; then
  wait_until 120 bash -c "xdotool windowfocus --sync $window key space 2>/dev/null; grep -q 'PlayState Init' '$folder/log.txt'" &&
    wait_until 120 bash -c "[ \$(grep -c 'timeGetTime delta' '$folder/log.txt') -ge 20 ]" &&
    press Escape
  wait_until 120 bash -c "! kill -0 $program 2>/dev/null"
fi
kill -0 $program 2>/dev/null && kill $program
wait $program
status=$?
kill $xvfb; wait $xvfb 2>/dev/null
echo "$status"
PLAY
chmod +x /home/player/play.sh
mkdir -p /home/player/demos && chown -R player: /home/player
as_player() { unshare --net runuser -u player -- env -i HOME=/home/player PATH=/usr/local/bin:/usr/bin:/bin:/usr/games LANG=C.UTF-8 "$@"; }
folder=/home/player/.local/share/veldmarrow
# A failed run shows what the program said before the root is thrown away.
explain() {
  [ "$1" = 0 ] && return
  echo "# stderr:"; tail -n 10 /home/player/stderr.txt 2>/dev/null | sed 's/^/#   /'
  echo "# log.txt:"; tail -n 10 "$folder/log.txt" 2>/dev/null | sed 's/^/#   /'
}

status=$(as_player /home/player/play.sh /home/player/demos veldmarrow --record mine.demo | tail -n 1)
explain "$status"
check "as a fresh user: splash, play, Escape, status 0 (got $status)" [ "$status" = 0 ]
check "the first start put the default settings.lua in ~/.local/share/veldmarrow" \
  cmp -s /usr/share/games/veldmarrow/settings.lua "$folder/settings.lua"
check "log.txt and error.txt are in that folder" \
  bash -c "grep -q 'PlayState Cleanup' '$folder/log.txt' && [ \"\$(cat '$folder/error.txt')\" = 'Moxwell started...' ]"
check "--record mine.demo wrote the demo where it was typed" test -s /home/player/demos/mine.demo
# Mesa keeps its shader cache in ~/.cache, as the desktop's rules say.
others=$(cd /home/player && find . \( -path ./.local -o -path ./.cache \) -prune -o -type f -newer play.sh -print |
  grep -v -e '^./stderr.txt$' -e '^./display$' -e '^./demos/mine.demo$')
[ -z "$others" ] || echo "$others"
check "nothing else was written to the home folder" [ -z "$others" ]

# The menu entry's command, after the user has changed a setting.
sed -i 's/^screenWidth = .*/screenWidth = 640/' "$folder/settings.lua"
status=$(as_player /home/player/play.sh /home/player $exec_line | tail -n 1)
explain "$status"
check "the menu entry's Exec line ($exec_line) starts it the same way, status 0 (got $status)" [ "$status" = 0 ]
check "the user's changed settings.lua is kept and used" grep -q '^settings.lua: 640x' "$folder/log.txt"

# The user service's command as systemd runs it (%S: the user's state
# folder, made by StateDirectory=): no terminal, no display; stopped with
# SIGTERM as "systemctl --user stop" stops it.
unit=/usr/lib/systemd/user/veldmarrow-server.service
state=/home/player/.local/state
serve_line=$(sed -n 's/^ExecStart=//p' "$unit" 2>/dev/null | sed "s|%S|$state|g")
mkdir -p "$state/veldmarrow" && chown -R player: "$state"
cat >/home/player/serve.sh <<'SERVE'
#!/bin/bash
# As the player: serve until the log says so, then SIGTERM; prints the exit status.
set -u
log=$HOME/.local/state/veldmarrow/log.txt
"$@" </dev/null >/dev/null 2>"$HOME/serve-stderr.txt" &
server=$!
deadline=$((SECONDS + 120))
until grep -q '^Serving world ' "$log" 2>/dev/null || [ $SECONDS -ge $deadline ] || ! kill -0 $server 2>/dev/null; do
  sleep 0.2
done
kill -TERM $server 2>/dev/null
wait $server
echo $?
SERVE
chmod +x /home/player/serve.sh
status=99
[ -n "$serve_line" ] && status=$(as_player /home/player/serve.sh $serve_line | tail -n 1)
[ "$status" = 0 ] || { echo "# stderr:"; tail -n 10 /home/player/serve-stderr.txt 2>/dev/null | sed 's/^/#   /'; }
check "the user service's command ($serve_line) serves, and SIGTERM saves and ends it, status 0 (got $status)" \
  [ "$status" = 0 ]
check "its world, log.txt and error.txt are in ~/.local/state/veldmarrow" \
  bash -c "grep -q '^Server stopped: ' '$state/veldmarrow/log.txt' && test -s '$state/veldmarrow/shared.world' && test -s '$state/veldmarrow/error.txt'"

apt-get -q purge -y veldmarrow >/tmp/purge.log 2>&1 || { tail -n 20 /tmp/purge.log; not_ok "apt-get purge veldmarrow"; }
# Files must be gone; a folder may stay only if another package owns it.
left=$(while read -r f; do
  if [ -f "$f" ] || [ -L "$f" ]; then echo "$f"
  elif [ -d "$f" ] && ! dpkg-query -S "$f" >/dev/null 2>&1; then echo "$f (folder)"; fi
done < <(grep -v "^/\.$" /tmp/files))
[ -z "$left" ] || echo "$left"
check "apt-get purge veldmarrow leaves no file of the package behind" [ -z "$left" ]
check "the user's folder is still there after the purge" test -s "$folder/settings.lua"
exit $failed
