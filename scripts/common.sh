# Shared by ./run and ./test: install what is missing, then configure and build.
# Sourced, not executed.

KX9_TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KX9_BUILD=${KX9_BUILD:-$KX9_TOP/build}

# Debian packages the build, the programs and the tests need.
KX9_PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n libgl-dev
  libtelnet-dev libusb-1.0-0-dev
  fonts-noto-cjk
  socat inetutils-telnetd inetutils-telnet iproute2 util-linux
  dpkg-dev help2man librsvg2-bin tshark
  clang libclang-rt-14-dev
)

kx9_install_missing() {
  local missing=() p
  for p in "${KX9_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q || return 1
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

kx9_build() {
  local extra=("$@")
  cmake -S "$KX9_TOP" -B "$KX9_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=${KX9_BUILD_TYPE:-RelWithDebInfo} "${extra[@]}" >/dev/null || return 1
  cmake --build "$KX9_BUILD" -j "$(nproc)"
}
