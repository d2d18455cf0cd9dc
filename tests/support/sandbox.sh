#!/bin/sh
# Runs a command in a private mount namespace whose /etc and /var (and on request /usr and /sys)
# belong to the test, so the machine's own files are never read or written.
#
#   sandbox.sh [--var DIR] [--ro-var] [--zmt-tmpfs SIZE] [--etc-upper DIR] [--root DIR] [--usr]
#              [--sys] [--work DIR] -- command [args...]
#
# --var DIR     bind DIR over /var (default: a fresh temporary folder)
# --ro-var      make /var read-only after the files of --root are in place
# --zmt-tmpfs S (needs --var) mount a tmpfs of size S over /var/zmt, before the files of --root
#               are copied, so they can fill it; the command then runs as a child, and what
#               /var/zmt holds at its end is copied to DIR/zmt, since the tmpfs ends with the
#               namespace (a command ended by a signal exits with 128 plus its number)
# --etc-upper D overlay /etc with D as the writable layer (default: a fresh temporary folder)
# --root DIR    copy DIR's tree over / once the mounts are in place (e.g. DIR/etc/redhat-release)
# --usr         overlay /usr (and so /lib) with a temporary writable layer
# --sys         mount an empty tmpfs over /sys
# --work DIR    run the command in DIR
# The distribution release files are removed first, so a test sees only the ones it places.
# Exit code 125 with a "sandbox:" line on standard error when the namespace cannot be set up.
set -u

fail() { echo "sandbox: $*" >&2; exit 125; }

if [ "${FCHBA_SANDBOXED:-}" != "1" ]; then
  command -v unshare >/dev/null 2>&1 || fail "unshare is not installed"
  # A failed exec'd unshare would exit as the command could, so a namespace is tried first.
  unshare -m true 2>/dev/null || fail "cannot create a mount namespace (needs root and the right to create one)"
  FCHBA_SANDBOXED=1 exec unshare -m --propagation private "$0" "$@"
  fail "cannot start unshare"
fi
unset FCHBA_SANDBOXED

var_dir="" ro_var=0 zmt_size="" etc_upper="" root_dir="" want_usr=0 want_sys=0 work_dir=""
while [ $# -gt 0 ]; do
  case "$1" in
    --var) var_dir=$2; shift 2 ;;
    --ro-var) ro_var=1; shift ;;
    --zmt-tmpfs) zmt_size=$2; shift 2 ;;
    --etc-upper) etc_upper=$2; shift 2 ;;
    --root) root_dir=$2; shift 2 ;;
    --usr) want_usr=1; shift ;;
    --sys) want_sys=1; shift ;;
    --work) work_dir=$2; shift 2 ;;
    --) shift; break ;;
    *) fail "unknown option $1" ;;
  esac
done
[ $# -gt 0 ] || fail "no command given"
[ -z "$zmt_size" ] || [ -n "$var_dir" ] || fail "--zmt-tmpfs needs --var"

# Scratch space for overlay layers: a tmpfs, so it works whatever file system holds /tmp.
scratch=$(mktemp -d /tmp/fchbasandboxXXXXXX) || fail "cannot create a scratch folder"
mount -t tmpfs fchbasandbox "$scratch" || fail "cannot mount a tmpfs (run as root)"

overlay() {  # overlay TARGET UPPER
  mkdir -p "$2" "$scratch/work$1" || fail "cannot prepare the overlay of $1"
  mount -t overlay overlay -o "lowerdir=$1,upperdir=$2,workdir=$scratch/work$1" "$1" ||
    fail "cannot overlay $1"
}

[ -n "$etc_upper" ] || etc_upper="$scratch/upper/etc"
overlay /etc "$etc_upper"
rm -f /etc/redhat-release /etc/SuSE-release /etc/hba.conf

if [ -z "$var_dir" ]; then var_dir="$scratch/var"; mkdir -p "$var_dir"; fi
mount --bind "$var_dir" /var || fail "cannot bind $var_dir over /var"
if [ -n "$zmt_size" ]; then
  mkdir -p /var/zmt && mount -t tmpfs -o "size=$zmt_size" fchbazmt /var/zmt ||
    fail "cannot mount a tmpfs over /var/zmt"
fi

if [ "$want_usr" = 1 ]; then
  overlay /usr "$scratch/upper/usr"
  mkdir -p /usr/lib64 /usr/lib/cim || fail "cannot prepare /usr/lib64 and /lib/cim"
fi
if [ "$want_sys" = 1 ]; then
  mount -t tmpfs fchbasys /sys || fail "cannot mount a tmpfs over /sys"
fi

if [ -n "$root_dir" ] && [ -d "$root_dir" ]; then
  cp -a "$root_dir/." / || fail "cannot copy $root_dir over /"
fi
if [ "$ro_var" = 1 ]; then
  mount -o remount,bind,ro /var || fail "cannot make /var read-only"
fi
# The mounts keep the scratch tmpfs alive; detached, its folder in the shared /tmp can go.
umount -l "$scratch" && rmdir "$scratch"
if [ -n "$work_dir" ]; then cd "$work_dir" || fail "cannot enter $work_dir"; fi
[ -n "$zmt_size" ] || exec "$@"
"$@"
status=$?
# $var_dir/zmt is the folder beneath the tmpfs: reached by that path, it is not covered.
cp -a /var/zmt/. "$var_dir/zmt/" || fail "cannot copy /var/zmt to $var_dir/zmt"
exit $status
