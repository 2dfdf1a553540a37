#!/usr/bin/env bash
# Checks a package that scripts/package.sh built: its desktop entry with
# desktop-file-validate, its AppStream metadata with appstreamcli (offline)
# and the package with lintian, which fails on errors and shows warnings.
# Installs the three tools when missing.
#   scripts/check-package.sh build-package/velto_VERSION_ARCH.deb
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deb=${1:?usage: check-package.sh PACKAGE.deb}
"$top/scripts/install-deps.sh" lintian desktop-file-utils appstream

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"
# The menu entry and Thunar's Send To entry. The KDE service menu is a
# Type=Service file, a type desktop-file-validate does not know.
for entry in "$contents"/usr/share/applications/*.desktop "$contents"/usr/share/Thunar/sendto/*.desktop; do
  echo "desktop-file-validate ${entry#"$contents"/}"
  desktop-file-validate "$entry"
done
for metadata in "$contents"/usr/share/metainfo/*.metainfo.xml; do
  echo "appstreamcli validate $(basename "$metadata")"
  appstreamcli validate --no-net "$metadata"
done
echo "lintian $(basename "$deb")"
lintian --fail-on error "$deb"
