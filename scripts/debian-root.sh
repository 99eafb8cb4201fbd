# Sourced by scripts/test-debian and scripts/test-packages (after common.sh):
# a fresh minimal root of a Debian release, made once with debootstrap from
# this system's own apt sources and kept as a tarball in
# /var/cache/veldmarrow/debian-RELEASE/ (or under VELDMARROW_CACHE), with
# the packages its runs download beside it. Every run unpacks a new root and
# removes it at exit. Needs root.

# debian_root_open RELEASE [ARCH]: sets release, arch, cache, tarball and
# archives; makes the cached root first when it is missing.
debian_root_open() {
  release=$1
  arch=${2:-$(dpkg --print-architecture)}
  local suffix=
  [[ $arch == "$(dpkg --print-architecture)" ]] || suffix=-$arch
  cache=${VELDMARROW_CACHE:-/var/cache/veldmarrow}/debian-$release$suffix
  tarball=$cache/root.tar
  archives=$cache/archives
  mkdir -p "$archives/partial" || return 1
  [[ -s $tarball ]] || make_root || { echo "$script_name: could not make the $release ($arch) root" >&2; return 1; }
}

# apt_uris: the archive URIs this system's apt uses, one a line, in both
# source formats, so no archive host is named here.
apt_uris() {
  {
    grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{for (i = 2; i <= NF; i++) print $i}'
    grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
      sed -E 's/^deb +(\[[^]]*\] +)?//' | awk '{print $1}'
  } | awk '!seen[$0]++'
}

make_root() {
  local mirror security tmp script foreign=()
  mirror=$(apt_uris | grep -v security | head -n 1)
  security=$(apt_uris | grep security | head -n 1)
  [[ -n $mirror ]] || { echo "$script_name: no Debian archive in this system's apt sources" >&2; return 1; }
  command -v debootstrap >/dev/null ||
    apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends debootstrap >/dev/null || return 1
  tmp=$(mktemp -d /var/tmp/veldmarrow-debootstrap.XXXXXX) || return 1
  # A debootstrap older than the release knows it as sid.
  script=/usr/share/debootstrap/scripts/$release
  [[ -e $script ]] || script=/usr/share/debootstrap/scripts/sid
  # Another architecture's root is made in two steps, the second under qemu.
  [[ $arch == "$(dpkg --print-architecture)" ]] || foreign=(--foreign)
  echo "Making a minimal $release ($arch) root with debootstrap (once; cached in $cache)"
  local ok=1
  debootstrap --variant=minbase --arch="$arch" ${foreign[@]+"${foreign[@]}"} --include=git,ca-certificates \
    "$release" "$tmp" "$mirror" "$script" >"$cache/debootstrap.log" 2>&1 || ok=0
  if [[ $ok -eq 1 && ${#foreign[@]} -gt 0 ]]; then
    chroot "$tmp" /debootstrap/debootstrap --second-stage >>"$cache/debootstrap.log" 2>&1 || ok=0
  fi
  if [[ $ok -eq 0 ]]; then
    echo "$script_name: debootstrap failed, see $cache/debootstrap.log" >&2
    rm -rf --one-file-system "$tmp"
    return 1
  fi
  {
    printf 'Types: deb\nURIs: %s\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$mirror" "$release" "$release"
    # Testing has no security suite of its own.
    [[ -n $security && $release != forky ]] &&
      printf '\nTypes: deb\nURIs: %s\nSuites: %s-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$security" "$release"
  } >"$tmp/etc/apt/sources.list.d/debian.sources"
  rm -f "$tmp/etc/apt/sources.list"
  # Testing's Release files may be past their valid-until date on a mirror.
  [[ $release == forky ]] && echo 'Acquire::Check-Valid-Until "false";' >"$tmp/etc/apt/apt.conf.d/99veldmarrow"
  tar -C "$tmp" -cf "$tarball.new" . && mv "$tarball.new" "$tarball"
  local status=$?
  rm -rf --one-file-system "$tmp"
  return $status
}

# debian_root_unpack SOURCE: a new root in $top from the cached tarball, with
# SOURCE bound read-only at /mnt/src, the cached packages linked into its own
# package cache and the kernel's file systems mounted; removed at exit.
debian_root_unpack() {
  top=$(mktemp -d /var/tmp/veldmarrow-root.XXXXXX) || return 1
  trap debian_root_remove EXIT
  # mktemp made it (and the tarball's top) private; users other than root
  # must reach inside.
  tar -C "$top" -xf "$tarball" && chmod 755 "$top" || return 1
  cp /etc/resolv.conf "$top/etc/resolv.conf"
  mkdir -p "$top/mnt/src" "$top/var/cache/apt/archives/partial"
  # Links, not the shared folder itself: apt locks its package cache while it
  # installs or purges, and runs side by side (other checkouts' too) would
  # fail on each other's lock. What a run downloads is added back at exit.
  # (-f: debootstrap left its own packages there.)
  local debs=("$archives"/*.deb) link=-l
  [[ $(stat -c %d "$archives") == $(stat -c %d "$top/var/cache/apt/archives") ]] || link=
  if [[ -e ${debs[0]} ]]; then
    cp -f $link "${debs[@]}" "$top/var/cache/apt/archives/" || return 1
  fi
  mount --bind "$1" "$top/mnt/src" && mount -o remount,bind,ro "$top/mnt/src" &&
    mount -t proc proc "$top/proc" && mount --rbind /sys "$top/sys" &&
    mount --bind /dev "$top/dev" && mount --bind /dev/pts "$top/dev/pts"
}

debian_root_remove() {
  local m f new
  for m in mnt/src dev/pts dev sys proc; do umount -l "$top/$m" 2>/dev/null; done
  # New downloads into the shared cache, each whole or not at all.
  for f in "$top"/var/cache/apt/archives/*.deb; do
    [[ -f $f && ! -e $archives/${f##*/} ]] || continue
    new=$(mktemp "$archives/partial/${f##*/}.XXXXXX") &&
      { cp "$f" "$new" && chmod 644 "$new" && mv "$new" "$archives/${f##*/}" || rm -f "$new"; }
  done
  # Never remove through a mount that is still there: the checkout and the
  # package cache are on the same file system as the root.
  if grep -q " $top/" /proc/mounts; then
    echo "$script_name: $top is still mounted on; left in place" >&2
    return
  fi
  rm -rf --one-file-system "$top"
}

# in_root COMMAND: runs COMMAND in the root as a newcomer's shell would, with
# a limit so that nothing there can hold up the caller for ever.
in_root() {
  timeout --kill-after=30 2400 chroot "$top" /usr/bin/env -i HOME=/root \
    PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 bash -c "$1"
}
