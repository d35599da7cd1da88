#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when some are missing, and makes the comma-decimal
# locale the tests also run under (ru_RU.UTF-8) available.
set -euo pipefail
packages=(cmake g++ ninja-build pkg-config qt6-base-dev libqt6svg6 qt6-svg-dev
          libgsf-1-dev zlib1g-dev libtomlplusplus-dev libcsv-dev libgtest-dev libgmock-dev libbenchmark-dev locales
          # the window's translations (lrelease, lupdate) and Qt's own Russian texts for standard buttons
          qt6-l10n-tools qt6-translations-l10n
          # installing and packaging: icon bitmaps, checks of the desktop entry and MIME type, cpack -G DEB
          librsvg2-bin desktop-file-utils shared-mime-info dpkg-dev file
          # a real serial-to-network gateway for the gateway tests
          ser2net
          # the second compiler, its sanitizer runtimes and symbolizer (CI's sanitizer build), the format check
          clang libclang-rt-14-dev llvm clang-format)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The tests run again under a comma-decimal locale, as many of our users have.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
  echo "Generating the ru_RU.UTF-8 locale"
  $sudo sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen
fi
