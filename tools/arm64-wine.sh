# Windows ARM64 programs under Debian's own arm64 Wine, in an arm64 Debian root (debootstrap)
# whose programs qemu-aarch64-static runs through binfmt_misc. Sourced by tools/lib.sh, after
# it has set `repo`, `build_root`, `jobs` and install_missing_packages; tools/wine-arm64-run
# sources it on its own. Everything here needs root (mount, chroot).
#
# Mounts: a program in the root runs in a mount namespace of its own (arm64_chroot), which
# holds the root's /proc, /dev and /sys and, at the same paths as outside, /tmp (Wine's server
# socket, the X server's socket and xvfb-run's authority file), the project's tree and the
# build folder. They go away with the namespace's last process, so nothing stays mounted in the
# machine's own namespace and `rm -rf build` is as safe as without the root. mount_arm64_root
# mounts the same in the current namespace, for a look around by hand; unmount_arm64_root
# undoes that, and remove_arm64_root removes the root after it.
required_packages+=(debootstrap qemu-user-static binfmt-support debian-archive-keyring)

arm64_root=${BRIGHTFADE_ARM64_ROOT:-$build_root/arm64-root}
arm64_wineprefix=${BRIGHTFADE_ARM64_WINEPREFIX:-$build_root/wineprefix-arm64}
# Where binfmt_misc is mounted; another path lets the failure below be seen.
arm64_binfmt_dir=${BRIGHTFADE_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}
# Debian's arm64 Wine in the root, and beyond its dependencies the X libraries that winex11
# loads when it finds them.
arm64_wine_loader=/usr/lib/wine/wine64
arm64_wineserver_binary=/usr/lib/wine/wineserver64
arm64_root_packages=(wine64 libxrender1 libxrandr2 libxi6 libxcursor1 libxfixes3)

# binfmt_misc mounted and qemu-aarch64 enabled with the F flag (the kernel opens the
# interpreter when the handler is enabled, so it works inside the root too). Says in one line
# why not, and fails, when that cannot be.
ensure_arm64_binfmt() {
    local dir=$arm64_binfmt_dir handler=$arm64_binfmt_dir/qemu-aarch64 reason
    if [ ! -e "$dir/register" ]; then
        if ! reason=$(mount -t binfmt_misc binfmt_misc "$dir" 2>&1); then
            echo "ARM64 tests need binfmt_misc for qemu-aarch64, and it cannot be mounted here:" \
                "${reason%%$'\n'*}" >&2
            return 1
        fi
    fi
    if ! grep -qx enabled "$handler" 2>/dev/null; then
        reason=$(update-binfmts --enable qemu-aarch64 2>&1) || true
        reason=${reason%%$'\n'*}
        if ! grep -qx enabled "$handler" 2>/dev/null; then
            echo "ARM64 tests need binfmt_misc for qemu-aarch64, and its handler cannot be enabled:" \
                "${reason:-update-binfmts left it disabled}" >&2
            return 1
        fi
    fi
    if ! grep -q '^flags:.*F' "$handler"; then
        echo "ARM64 tests need binfmt_misc for qemu-aarch64 with the F flag (qemu-user-static's" \
            "handler), and $handler has: $(grep '^flags' "$handler")" >&2
        return 1
    fi
}

# The folders bound into the root at their own paths: /tmp, the tree and the build folder,
# each left out when an earlier one holds it.
arm64_bound_dirs() {
    local dir kept
    arm64_bound=()
    for dir in /tmp "$repo" "$build_root"; do
        for kept in "${arm64_bound[@]}"; do
            case $dir/ in "$kept"/*) continue 2 ;; esac
        done
        arm64_bound+=("$dir")
    done
}

# Mounts into the root what its programs need, in the current mount namespace; each once, so a
# second call only looks.
mount_arm64_root() {
    local root=$arm64_root dir
    mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
    if ! mountpoint -q "$root/dev"; then
        mount --rbind /dev "$root/dev"
        mount --make-rslave "$root/dev"
    fi
    mountpoint -q "$root/sys" || mount -o bind,ro /sys "$root/sys"
    arm64_bound_dirs
    for dir in "${arm64_bound[@]}"; do
        mkdir -p "$root$dir"
        mountpoint -q "$root$dir" || mount --bind "$dir" "$root$dir"
    done
}

# Undoes whatever is mounted under the root in the current namespace, deepest first; lazily, so
# that a process still inside does not keep a mount in the tree. Calling it again does nothing.
unmount_arm64_root() {
    local root target left
    root=$(realpath -m "$arm64_root")
    while read -r target; do
        target=$(printf '%b' "$target")
        case $target in "$root"/*) umount -l "$target" 2>/dev/null || true ;; esac
    done < <(findmnt -rn -o TARGET | sort -r)
    left=$(findmnt -rn -o TARGET | grep -F "$root/" || true)
    [ -z "$left" ] || { echo "still mounted under $root: $left" >&2; return 1; }
}

# Removes the root, once nothing is mounted in it.
remove_arm64_root() {
    unmount_arm64_root || return 1
    rm -rf "$arm64_root"
}

# arm64_chroot COMMAND [ARGS...]: runs COMMAND in the root, in a mount namespace of its own with
# mount_arm64_root's mounts, in the working directory of the same path (which must be in one
# of the folders bound in), with the environment as it is.
arm64_chroot() {
    unshare --mount --propagation private -- bash -c "
        set -euo pipefail
        $(declare -f arm64_bound_dirs mount_arm64_root)"'
        arm64_root=$1 repo=$2 build_root=$3
        shift 3
        mount_arm64_root
        for dir in "${arm64_bound[@]}"; do
            case $PWD/ in "$dir"/*) exec unshare --root="$arm64_root" --wd="$PWD" -- "$@" ;; esac
        done
        echo "ARM64 root: the working directory $PWD is not in ${arm64_bound[*]}," \
            "the only folders it sees at their own paths" >&2
        exit 125' bash "$arm64_root" "$repo" "$build_root" "$@"
}

# The environment of a Wine program in the root: the caller's, less the loader variables
# that would point at the machine's own libraries, with the root's PATH and the ARM64 prefix.
arm64_wine_env() {
    arm64_env=(/usr/bin/env -u LD_PRELOAD -u LD_LIBRARY_PATH -u WINELOADER -u WINESERVER
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
        WINEPREFIX="$arm64_wineprefix" WINEDEBUG="${WINEDEBUG:--all}"
        WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}" WINEARCH=win64)
}

# arm64_step TITLE LOG COMMAND...: one step of building the root, with its time.
arm64_step() {
    local title=$1 log=$2 start=$SECONDS
    shift 2
    if "$@" >"$log" 2>&1; then
        echo "ARM64 root: $title: $((SECONDS - start)) s"
    else
        tail -n 20 "$log" >&2
        echo "ARM64 root: $title failed after $((SECONDS - start)) s (log: $log)" >&2
        return 1
    fi
}

# Builds the root once (3 minutes and 600 MB when measured): debootstrap's two stages from the
# machine's own Debian mirror, then Wine in it. A later call only looks at the stamp. The
# logs go to build/arm64-root-logs.
ensure_arm64_root() {
    local root=$arm64_root logs=$build_root/arm64-root-logs codename mirror
    [ -f "$root/.brightfade-ready" ] && return 0
    [ "$(id -u)" -eq 0 ] || { echo "the ARM64 root is made and entered with chroot, as root" >&2; return 1; }
    ensure_arm64_binfmt || return 1
    mkdir -p "$logs"
    if [ ! -f "$root/.brightfade-debootstrapped" ]; then
        codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
        mirror=$("$repo/tools/deb-src-entries" --mirror) || return 1
        echo "Building the ARM64 root in $root: Debian $codename arm64 from $mirror"
        # What an earlier attempt left is not trusted.
        remove_arm64_root || return 1
        # The first stage downloads every package: a mirror that stumbles gets a second go.
        arm64_step "debootstrap, first stage" "$logs/debootstrap-first.log" \
            debootstrap --arch=arm64 --foreign --variant=minbase "$codename" "$root" "$mirror" ||
            { remove_arm64_root && arm64_step "debootstrap, first stage (again)" \
                "$logs/debootstrap-first-again.log" debootstrap --arch=arm64 --foreign \
                --variant=minbase "$codename" "$root" "$mirror"; } || return 1
        # Its own namespace takes along whatever the second stage mounts.
        arm64_step "debootstrap, second stage" "$logs/debootstrap-second.log" \
            unshare --mount --propagation private chroot "$root" /debootstrap/debootstrap \
            --second-stage || return 1
        touch "$root/.brightfade-debootstrapped"
    fi
    cp -L /etc/resolv.conf "$root/etc/resolv.conf"
    (cd "$build_root" && arm64_step "Wine (${arm64_root_packages[*]})" "$logs/wine.log" \
        arm64_chroot /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
        DEBIAN_FRONTEND=noninteractive /bin/sh -c \
        'apt-get -o Acquire::Retries=3 update &&
         apt-get -o Acquire::Retries=3 install -y --no-install-recommends "$@" && apt-get clean' \
        sh "${arm64_root_packages[@]}") || return 1
    touch "$root/.brightfade-ready"
}

# arm64_wineserver ARGS...: the root's wine server for the ARM64 prefix.
arm64_wineserver() {
    local arm64_env
    arm64_wine_env
    (cd "$build_root" && arm64_chroot "${arm64_env[@]}" "$arm64_wineserver_binary" "$@")
}

# arm64_wine PROGRAM ARGS...: tools/wine-arm64-run from the build folder, which the root sees.
arm64_wine() {
    (cd "$build_root" && "$repo/tools/wine-arm64-run" "$@")
}

# The ARM64 prefix, made once like the x86-64 one (ensure_wine_prefix).
ensure_arm64_wine_prefix() {
    [ -f "$arm64_wineprefix/.brightfade-ready" ] && return 0
    ensure_arm64_root || return 1
    mkdir -p "$arm64_wineprefix"
    arm64_wine wineboot -i >/dev/null 2>&1 || true
    arm64_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    arm64_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    arm64_wineserver -w
    touch "$arm64_wineprefix/.brightfade-ready"
}

# One wine server for a series of ARM64 runs, as start_wine_session and end_wine_session.
start_arm64_wine_session() {
    arm64_wineserver -p
    arm64_wine cmd /c exit >/dev/null 2>&1 || true
}

end_arm64_wine_session() {
    arm64_wineserver -k 2>/dev/null || true
    arm64_wineserver -w 2>/dev/null || true
}
