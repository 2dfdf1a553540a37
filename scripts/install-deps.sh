#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing, and
# the ones named as arguments (what a script needs beyond the build).
# Quick when everything is present. Non-interactive.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev qt5-style-plugins libqt5dbus5
  libminizip-dev zlib1g-dev libarchive-dev libicu-dev libuchardet-dev libpcre2-dev libseccomp-dev liblzo2-dev
  libpoppler-cpp-dev libgsf-1-dev
  p7zip-full gcab lzop zip unzip locales valgrind
  qttranslations5-l10n qttools5-dev qttools5-dev-tools xdg-utils desktop-file-utils
  xvfb xauth xclip fonts-wqy-microhei
)
packages+=("$@")
if [ "${VELTO_WITH_CLANG:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
