#!/usr/bin/env bash
# The command line of both programs, and where an installed monitor keeps its
# option file: a copy of the monitor in a folder its user cannot write to
# reads and writes ~/.config/kx9monitor/kx9monitor.ini (it connects to the
# kx9sim that file names, and saves its options back there on the way out).
set -euo pipefail
monitor=$1 sim=$2 version=$3
work=$(mktemp -d)
simpid=
cleanup() { [[ -n $simpid ]] && kill "$simpid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# --help, --version, a bad option, a stray argument; no display is needed.
for prog in "$monitor" "$sim"; do
  name=$(basename "$prog")
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prog" --help) || fail "$name --help failed"
  [[ $out == *"Usage: $name"* && $out == *"--version"* ]] || fail "$name --help: $out"
  [[ $("$prog" --version) == "$name $version" ]] || fail "$name --version: $("$prog" --version)"
  set +e
  err=$("$prog" --no-such-option 2>&1 >/dev/null); rc=$?
  set -e
  [[ $rc == 2 && $err == *"Unknown option 'no-such-option'"* ]] || fail "$name bad option: rc $rc, $err"
  set +e
  "$prog" stray >/dev/null 2>&1; rc=$?
  set -e
  [[ $rc == 2 ]] || fail "$name stray argument: rc $rc"
done

# An installed monitor: its folder belongs to someone else.
mkdir -p "$work/bin" "$work/home/.config/kx9monitor" "$work/home/.local/share"
cp "$monitor" "$work/bin/kx9monitor"
chmod 0555 "$work/bin"
"$sim" --listen 0 >"$work/sim.out" 2>"$work/sim.log" &
simpid=$!
for _ in $(seq 50); do grep -q '^LISTEN ' "$work/sim.out" && break; sleep 0.1; done
port=$(sed -n 's/^LISTEN //p' "$work/sim.out")
[[ -n $port ]] || fail "kx9sim did not listen"
ini=$work/home/.config/kx9monitor/kx9monitor.ini
printf '[Option]\r\nUseUSB=2\r\nfUseGrobalIP=1\r\nfTCPServer=0\r\nTCPServAddr=127.0.0.1\r\nTCPServPort=%s\r\n' "$port" >"$ini"
printf 'dialog 接続\nexpect-log ClientSocket1Connect\nquit\n' >"$work/script.txt"
run=(env HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
     XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=offscreen "$work/bin/kx9monitor" --script "$work/script.txt")
if [[ $(id -u) == 0 ]]; then
  # root may write anywhere: run as nobody, who may not write the copy's folder
  chown -R nobody "$work/home"
  chmod 0755 "$work"
  chmod 0644 "$work/script.txt"
  run=(setpriv --reuid=nobody --regid=nogroup --clear-groups "${run[@]}")
fi
"${run[@]}" >"$work/run.out" 2>&1 || { cat "$work/run.out" >&2; fail "the installed monitor did not start from its user's option file"; }
grep -q '^\[ComDebug\]' "$ini" || fail "the options were not saved back to $ini"
[[ ! -e $work/bin/kx9monitor.ini ]] || fail "an option file was written beside the installed executable"
echo "command line ok; installed option file $ini"
