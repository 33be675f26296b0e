#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need.
# Idempotent: quiet when everything is present. Works as root or through sudo.
set -euo pipefail
pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev
      libqt6svg6 libgtest-dev fonts-wqy-microhei libgl-dev
      dpkg-dev file  # dpkg-shlibdeps and file: the Debian package's library dependencies
      help2man  # the package's manual pages, from each program's --help
      clang-14 libclang-rt-14-dev)  # libFuzzer and the sanitizers' runtime for scripts/fuzz.sh
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
