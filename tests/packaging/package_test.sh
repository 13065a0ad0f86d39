#!/usr/bin/env bash
# Builds the Debian package from the build tree and inspects it: the files it
# installs, its control fields, and that the monitor in it starts.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$out"/*.deb)
[[ $(basename "$deb") == kx9monitor_*_amd64.deb || $(basename "$deb") == kx9monitor_*.deb ]] || fail "package file name $(basename "$deb")"

dpkg-deb -c "$deb" | awk '{print $6}' >"$out/contents"
for f in ./usr/bin/kx9monitor ./usr/bin/kx9sim \
         ./usr/share/applications/kx9monitor.desktop \
         ./usr/share/icons/hicolor/scalable/apps/kx9monitor.svg \
         ./usr/share/icons/hicolor/48x48/apps/kx9monitor.png \
         ./usr/share/icons/hicolor/256x256/apps/kx9monitor.png \
         ./usr/share/man/man1/kx9monitor.1.gz ./usr/share/man/man1/kx9sim.1.gz \
         ./usr/share/doc/kx9monitor/copyright ./usr/share/doc/kx9monitor/README.Debian \
         ./usr/lib/udev/rules.d/70-kx9monitor.rules ./usr/share/kx9monitor/wireshark/kx9.lua; do
  grep -qx "$f" "$out/contents" || fail "$f is not in the package"
done
# Nothing of the build tree or the tests goes in.
! grep -Eq 'test|bench|\.a$|\.h$' "$out/contents" || fail "build or test files in the package: $(grep -E 'test|bench|\.a$|\.h$' "$out/contents" | head -3)"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == kx9monitor ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$2" ]] || fail "Version: $(field Version), expected $2"
[[ $(field Section) == electronics ]] || fail "Section: $(field Section)"
[[ -n $(field Maintainer) && -n $(field Description) ]] || fail "Maintainer or Description missing"
depends=$(field Depends)
for d in libqt6widgets6 libqt6network6 libtelnet2 libusb-1.0-0 libc6 qt6-qpa-plugins qt6-translations-l10n fonts-noto-cjk; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done

# The desktop entry names the program in both languages and an icon that exists.
dpkg-deb -x "$deb" "$out/root"
desktop=$out/root/usr/share/applications/kx9monitor.desktop
grep -qx 'Exec=kx9monitor' "$desktop" && grep -qx 'Icon=kx9monitor' "$desktop" \
  && grep -q '^Name\[ja\]=' "$desktop" && grep -q '^Categories=.*Utility;' "$desktop" || fail "desktop entry"
zcat "$out/root/usr/share/man/man1/kx9monitor.1.gz" | grep -q 'operator script' || fail "man page does not document --script"

# The programs in the package run (stripped, from their installed place).
[[ $("$out/root/usr/bin/kx9monitor" --version) == "kx9monitor $2" ]] || fail "kx9monitor --version"
[[ $("$out/root/usr/bin/kx9sim" --version) == "kx9sim $2" ]] || fail "kx9sim --version"
echo "package ok: $(basename "$deb"), $(wc -l <"$out/contents") entries"
