#!/usr/bin/env bash
# Builds the 32-bit and 64-bit DLLs and packs them, without their debugging information, with the
# .reg files and the README into build/package/qelt-driver-package.zip; prints its file list.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/package
stage=$out/qelt-driver-package
rm -rf "$stage" "$out/qelt-driver-package.zip"
mkdir -p "$stage/x86" "$stage/x64" "$stage/install"
for preset in win32 win64; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j "${JOBS:-2}" --target qeltogl qeltvbtv >/dev/null
done
for dll in qeltogl.dll qeltvbtv.dll; do
  i686-w64-mingw32-strip -o "$stage/x86/$dll" "build/win32/bin/$dll"
  x86_64-w64-mingw32-strip -o "$stage/x64/$dll" "build/win64/bin/$dll"
done
cp install/qeltvbtv-install.reg install/qeltvbtv-uninstall.reg "$stage/install/"
cp README.md "$stage/"
(cd "$out" && cmake -E tar cf qelt-driver-package.zip --format=zip qelt-driver-package)
echo "== $out/qelt-driver-package.zip ($(stat -c %s "$out/qelt-driver-package.zip") bytes) =="
(cd "$out" && find qelt-driver-package -type f -printf '%10s  %p\n' | sort -k2)
