#!/usr/bin/env bash
# Builds the Debian package of Velto: a release build with Debian's hardening
# flags in build-package/ (or $VELTO_PACKAGE_BUILD_DIR), installed into a
# staging folder, its dependencies found by dpkg-shlibdeps from the binaries.
# Installs what it needs (help2man, python3, dpkg-dev) when missing. Prints
# the package's path as its last line.
#   scripts/package.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VELTO_PACKAGE_BUILD_DIR:-$top/build-package}
"$top/scripts/install-deps.sh" help2man python3 dpkg-dev

version=$(sed -n 's/^project(velto VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
arch=$(dpkg --print-architecture)
stage=$build/debian/velto  # where dpkg-shlibdeps looks for the package's files
deb=$build/velto_${version}_${arch}.deb

# Debian's hardening: fortified functions, stack protector, full RELRO, PIE.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"  # CMake reads no CPPFLAGS
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DBUILD_TESTING=OFF -DVELTO_SANITIZE= >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
rm -rf "$stage"
DESTDIR=$stage cmake --install "$build" --strip >/dev/null
# As dh_strip does: the compiler's notes are of no use in the package.
strip --remove-section=.comment --remove-section=.note "$stage"/usr/bin/* "$stage"/usr/libexec/velto/*

doc=$stage/usr/share/doc/velto
install -d -m 0755 "$doc"
install -m 0644 "$top/packaging/copyright" "$doc/copyright"
gzip -9n <"$top/packaging/changelog" >"$doc/changelog.gz"

# dpkg-shlibdeps reads the source package's control file from ./debian, and
# knows the package's root by its DEBIAN folder.
install -d -m 0755 "$stage/DEBIAN"
printf 'Source: velto\n\nPackage: velto\nArchitecture: any\n' >"$build/debian/control"
shlibs=$(cd "$build" && dpkg-shlibdeps -O debian/velto/usr/bin/velto-search debian/velto/usr/bin/velto-find \
  debian/velto/usr/libexec/velto/velto-worker debian/velto/usr/libexec/velto/velto-documents.so |
  sed -n 's/^shlibs:Depends=//p')

cat >"$stage/DEBIAN/control" <<CONTROL
Package: velto
Version: $version
Architecture: $arch
Maintainer: The Velto authors <velto-search@example.org>
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $shlibs, qttranslations5-l10n, xdg-utils
Recommends: qt5-style-plugins
Section: utils
Priority: optional
Description: find files by name and by content, also inside archives
 Velto finds files on local disks by name and by content. It walks the
 folders it is given, searches the matching files line by line on every
 core, also inside archives (ZIP, RAR, 7z, tar, ISO, CAB and more, also
 nested), and shows the hits as they arrive, in the order of the walk: file
 name, folder, line number, line and modification time. A deep search tries
 every text encoding the toolkit knows.
 .
 The window (velto-search) speaks Chinese or English, keeps an icon in
 the tray and can go on searching with its window hidden; velto-find runs
 the same search on the command line.
CONTROL
(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums)
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
find "$stage" -type d -exec chmod 0755 {} +

dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb"
