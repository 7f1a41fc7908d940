#!/usr/bin/env bash
# Builds the Debian package from a build and checks it: the files it
# installs, the dependencies dpkg-shlibdeps found, its metadata, and that its
# programs run from where it is unpacked.
# Usage: PackageTest.sh BUILD_DIR SCRATCH_DIR VERSION
set -euo pipefail
build=$1 scratch=$2 version=$3
if ! command -v dpkg-deb >/dev/null || ! command -v dpkg-shlibdeps >/dev/null; then
  echo "dpkg-deb and dpkg-shlibdeps (dpkg-dev) are needed to build the package"
  exit 77
fi
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

rm -rf "$scratch"
mkdir -p "$scratch"
cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$scratch/cpack.log")"
deb=$scratch/quillory_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb: $(ls "$scratch")"

# Exactly these files, nothing the programs make themselves.
expected="./usr/bin/quillory
./usr/bin/quillory-extract
./usr/share/applications/quillory.desktop
./usr/share/bash-completion/completions/quillory-extract
./usr/share/icons/hicolor/128x128/apps/quillory.png
./usr/share/icons/hicolor/256x256/apps/quillory.png
./usr/share/icons/hicolor/32x32/apps/quillory.png
./usr/share/icons/hicolor/48x48/apps/quillory.png
./usr/share/icons/hicolor/64x64/apps/quillory.png
./usr/share/man/man1/quillory-extract.1.gz
./usr/share/man/man1/quillory.1.gz
./usr/share/metainfo/org.example.quillory.metainfo.xml
./usr/share/quillory/Help_eng.pdf
./usr/share/quillory/Help_fra.pdf
./usr/share/quillory/Lang.ini"
listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
[ "$listed" = "$(sort <<<"$expected")" ] ||
  fail "the package holds:"$'\n'"$listed"$'\n'"instead of:"$'\n'"$expected"

[ "$(dpkg-deb -f "$deb" Package)" = quillory ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libjpeg62-turbo libpng16-16 zlib1g liblzma5; do
  [[ $depends == *"$library "* || $depends == *"$library," || $depends == *"$library" ]] ||
    fail "Depends lacks $library: $depends"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
out=$("$root/usr/bin/quillory-extract" --version) || fail "quillory-extract --version"
[ "$out" = "quillory-extract $version" ] || fail "quillory-extract --version says: $out"
out=$("$root/usr/bin/quillory-extract" --help) || fail "quillory-extract --help"
[[ $out == "Usage: quillory-extract"* ]] || fail "quillory-extract --help says: $out"
# The window's program answers without a display.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/quillory" --version) ||
  fail "quillory --version"
[ "$out" = "quillory $version" ] || fail "quillory --version says: $out"

grep -qx 'Exec=/usr/bin/quillory %f' "$root/usr/share/applications/quillory.desktop" ||
  fail "desktop entry: $(cat "$root/usr/share/applications/quillory.desktop")"
metainfo=$root/usr/share/metainfo/org.example.quillory.metainfo.xml
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo lacks release $version"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >"$scratch/appstream.log" 2>&1 ||
    fail "appstreamcli: $(cat "$scratch/appstream.log")"
fi
# Without man the pages cannot be rendered: the rest is checked all the same,
# and the test is skipped rather than passed.
if ! command -v man >/dev/null; then
  rm -rf "$scratch"
  echo "man (man-db) is needed to render the package's manual pages; the rest of $deb checked"
  exit 77
fi
for page in quillory quillory-extract; do
  warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page.1.gz: $warnings"
done
rm -rf "$scratch"
echo "package $deb checked"
