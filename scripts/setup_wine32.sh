#!/usr/bin/env bash
# Sets up what runs the 32-bit Windows programs of the win32 tier, and writes the choice to
# <dir>/route.sh for the tier's runner. Idempotent: a finished setup is reused as it is.
#
#   native:   the machine runs 32-bit x86 code and has Debian's wine32 installed; nothing to do.
#   emulated: 32-bit Wine runs under qemu user emulation, all of it in a private folder: Debian's
#             wine32 (i386) and a qemu-user new enough for Wine's address-space reservation are
#             downloaded and unpacked there, never installed on the machine.
#
# Usage: scripts/setup_wine32.sh <dir>       (the tier uses build/wine32-runtime)
# QELT_SKIP_WIN32=1 makes the tier skip itself knowingly on a machine that can run neither route.
set -euo pipefail

dir=$(realpath -m "${1:?usage: setup_wine32.sh <dir>}")
here=$(cd "$(dirname "$0")" && pwd)
recipe=5  # bump when the steps below change, so that an older setup is redone
mkdir -p "$dir"
exec 9>"$dir.lock"
flock 9

fail() {
  echo "win32 tier: $*; set QELT_SKIP_WIN32=1 to skip this tier knowingly" >&2
  exit 1
}
trap 'fail "setting up 32-bit Wine failed at line $LINENO of $0"' ERR

[[ -f $dir/done ]] && [[ $(cat "$dir/done") == "$recipe" ]] && exit 0
rm -f "$dir/done" "$dir/route.sh"

# A static i386 program that runs directly shows a kernel that executes 32-bit code itself.
probe=$dir/probe-i386
printf 'int main(void) { return 0; }\n' | gcc -m32 -static -x c -o "$probe" - 2>/dev/null ||
  fail "cannot build 32-bit x86 programs (gcc-multilib missing)"
# (A machine-wide binfmt_misc entry for i386 programs would run it too: that is no native route.)
i386_magic='magic 7f454c46010101000000000000000000020003'
if "$probe" 2>/dev/null && ! grep -qs "^$i386_magic" /proc/sys/fs/binfmt_misc/*; then
  # Wine and, for the render test, Mesa's i386 OpenGL libraries.
  native_packages=(wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386)
  missing=()
  for package in "${native_packages[@]}"; do
    dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -q '^installed$' ||
      missing+=("$package")
  done
  if ((${#missing[@]})); then
    echo "win32 tier: installing Debian's 32-bit ${missing[*]}"
    sudo=""
    [[ $(id -u) == 0 ]] || sudo=sudo
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
      fail "cannot install ${missing[*]}"
  fi
  cat >"$dir/route.sh" <<EOF
route=native
wine=/usr/lib/wine/wine
wineserver=/usr/lib/wine/wineserver32
mingw_dlls=$( [[ -f /usr/i686-w64-mingw32/lib/zlib1.dll ]] && echo /usr/i686-w64-mingw32/lib)
EOF
  echo "$recipe" >"$dir/done"
  exit 0
fi

# The emulated route needs a private binfmt_misc instance in a user and mount namespace.
unshare -U -r -m --propagation private sh -c \
  'mount -t binfmt_misc none /proc/sys/fs/binfmt_misc && test -w /proc/sys/fs/binfmt_misc/register' \
  2>/dev/null ||
  fail "this machine runs no 32-bit x86 code, and user namespaces with a private binfmt_misc (Linux 6.7 or later) are not available to emulate it"

echo "win32 tier: setting up 32-bit Wine under qemu user emulation in $dir"
root=$dir/root
debs=$dir/debs
rm -rf "$root" "$dir/apt" "$debs"
mkdir -p "$root" "$debs/partial"

# The machine's own Debian mirrors, from its deb822 or one-line sources.
. /etc/os-release
codename=${VERSION_CODENAME:?}
mirror=""
security=""
suite=""
while read -r uri suites; do
  for name in "$codename" stable; do
    if [[ -z $mirror && " $suites " == *" $name "* ]]; then
      mirror=$uri
      suite=$name
    fi
  done
  [[ -z $security && " $suites " == *" $codename-security "* ]] && security=$uri
  [[ -z $security && " $suites " == *" stable-security "* ]] && security=$uri
done < <(
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    [[ -f $file ]] || continue
    if [[ $file == *.sources ]]; then
      awk 'function flush() { if (uri && on) print uri, suites; uri = ""; suites = ""; on = 1 }
           BEGIN {on = 1}
           /^URIs:/ {uri = $2} /^Suites:/ {$1 = ""; suites = $0} /^Enabled: *no/ {on = 0}
           /^[ \t]*$/ {flush()} END {flush()}' "$file"
    else
      awk '$1 == "deb" {i = 2; if ($2 ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ } print $i, $(i + 1)}' "$file"
    fi
  done)
[[ -n $mirror ]] || fail "no Debian mirror for $codename in /etc/apt/sources*"
host_arch=$(dpkg --print-architecture)
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# apt_private <name> <architecture> <source lines...>: a private apt state for downloads only.
apt_private() {
  local name=$1 arch=$2
  shift 2
  local state=$dir/apt/$name
  mkdir -p "$state/lists/partial" "$state/archives/partial" "$state/parts"
  : >"$state/status"
  printf '%s\n' "$@" >"$state/sources.list"
  cat >"$state/apt.conf" <<EOF
Dir::State "$state";
Dir::State::status "$state/status";
Dir::Cache "$state";
Dir::Cache::archives "$debs";
Dir::Etc::SourceList "$state/sources.list";
Dir::Etc::SourceParts "$state/parts";
Dir::Etc::PreferencesParts "$state/parts";
APT::Architecture "$arch";
APT::Architectures { "$arch"; };
APT::Install-Recommends "false";
APT::Sandbox::User "root";
Acquire::Languages "none";
Debug::NoLocking "true";
EOF
  APT_CONFIG=$state/apt.conf apt-get update -qq || fail "cannot read the package lists of $*"
}

i386_sources=("deb [signed-by=$keyring] $mirror $suite main"
              "deb [signed-by=$keyring] $mirror $suite-updates main")
[[ -n $security ]] && i386_sources+=("deb [signed-by=$keyring] $security $suite-security main")
apt_private i386 i386 "${i386_sources[@]}"
apt_private backports "$host_arch" "deb [signed-by=$keyring] $mirror $suite-backports main"

# Everything wine32 needs, as if nothing were installed: the root must hold its own C library.
# Mesa's GL libraries and software renderer draw for the programs' OpenGL contexts.
APT_CONFIG=$dir/apt/i386/apt.conf apt-get install -qq -y --download-only \
  wine32 libgl1 libgl1-mesa-dri libglx-mesa0 >/dev/null || fail "cannot download wine32 and Mesa for i386"
# qemu 7 ignores MAP_FIXED_NOREPLACE, so Wine's reservation of its address space never settles.
(cd "$debs" && APT_CONFIG=$dir/apt/backports/apt.conf apt-get download -qq "qemu-user/$suite-backports") ||
  fail "cannot download qemu-user from $suite-backports"

for deb in "$debs"/*.deb; do
  dpkg-deb -x "$deb" "$root"
done
qemu=$root/usr/bin/qemu-i386
[[ -x $qemu ]] || qemu=$root/usr/bin/qemu-i386-static
[[ -x $qemu ]] || fail "the downloaded qemu-user has no qemu-i386"
find "$root/usr/bin" -name 'qemu-*' ! -name "$(basename "$qemu")" -delete  # other targets: 300 MB

# The private root's own library cache (FreeType and friends are found through it).
mkdir -p "$root/etc/ld.so.conf.d"
[[ -f $root/etc/ld.so.conf ]] || echo 'include /etc/ld.so.conf.d/*.conf' >"$root/etc/ld.so.conf"
/sbin/ldconfig -r "$root"

# Wine's signal handlers need the trap number qemu leaves out.
mkdir -p "$root/usr/lib/qelt"
gcc -m32 -O2 -shared -fPIC -o "$root/usr/lib/qelt/trap_number.so" "$here/wine32/trap_number.c" -ldl
echo /usr/lib/qelt/trap_number.so >"$root/etc/ld.so.preload"

cat >"$dir/route.sh" <<EOF
route=emulated
root=$root
qemu=$qemu
wine=$root/usr/lib/wine/wine
wineserver=$root/usr/lib/wine/wineserver32
mingw_dlls=$root/usr/i686-w64-mingw32/lib
EOF
rm -rf "$dir/apt" "$debs"
echo "$recipe" >"$dir/done"
echo "win32 tier: 32-bit Wine ready ($(du -sh "$root" | cut -f1) in $root)"
