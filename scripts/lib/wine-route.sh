# Sourced by every script that runs Windows programs and by the tests' Wine
# runner: the one place that decides how Windows programs run on this host.
#
# x64 programs run through Wine's 64-bit loader, named explicitly. Debian's `wine`
# command prefers the 32-bit loader whenever wine32 is installed, and that loader
# cannot even start on a kernel that runs no 32-bit programs.
#
# x86 programs are started by the 64-bit loader through Wine's 32-bit one, which
# is a 32-bit Linux program. How it runs here is found once per run, by trying a
# tiny 32-bit Linux program, and printed:
#   native    the kernel runs 32-bit programs itself;
#   emulated  it does not: qemu-i386 (user-mode emulation, the static build from
#             Debian's qemu-user) runs them, registered for 32-bit ELF files through
#             binfmt_misc in a private user and mount namespace, so the host's own
#             registrations are never touched;
#   none      neither works, and TEMPLATE_X86_REASON says why.
# TEMPLATE_X86_ROUTE=native|emulated|none set before the first call forces a route.
#
# Functions: wine_route_init, wine_run, wineserver_run, wine_x86_runs,
# wine_route_host_runs_x86, wine_route_fetch_qemu.

: "${TEMPLATE_CACHE:=$HOME/.cache/template}"
: "${TEMPLATE_WINE_DIR:=/usr/lib/wine}"
: "${TEMPLATE_QEMU_I386:=$TEMPLATE_CACHE/qemu-user/qemu-i386}"

# A 96-byte static 32-bit Linux program that exits with status 42.
wine_route_write_probe() {
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000T\200\004\0104\000\000\000'\
'\000\000\000\000\000\000\000\0004\000 \000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010'\
'\000\200\004\010`\000\000\000`\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273*\000\000\000\315\200' >"$1"
  chmod +x "$1"
}

# The binfmt_misc rule that sends every 32-bit x86 ELF program (executable or
# shared object) to INTERPRETER; the kernel decodes the \x escapes itself.
wine_route_i386_rule() {
  local name=$1 interpreter=$2 flags=$3
  printf ':%s:M::%s:%s:%s:%s' "$name" \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
    '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' "$interpreter" "$flags"
}

# Runs a command in a private user and mount namespace with a binfmt_misc of its
# own holding RULE. Nothing of the host's binfmt_misc changes. Status 125: the
# namespace or the rule could not be made.
wine_route_in_binfmt_namespace() {
  local rule=$1; shift
  unshare -Urm --propagation private /bin/sh -c '
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || exit 125
    printf "%s" "$0" >/proc/sys/fs/binfmt_misc/register 2>/dev/null || exit 125
    exec "$@"' "$rule" "$@"
}

# Runs a command where qemu-i386 runs every 32-bit ELF program. Flag F opens the
# emulator at once, so it is found from any mount namespace below; P keeps each
# program's own argv[0].
wine_route_in_emulation() {
  local qemu=$1; shift
  TEMPLATE_X86_NAMESPACE=1 wine_route_in_binfmt_namespace "$(wine_route_i386_rule template-i386 "$qemu" FP)" "$@"
}

# Whether the kernel runs 32-bit programs (tried, not guessed).
wine_route_host_runs_x86() {
  local probe status
  probe=$(mktemp "${TMPDIR:-/tmp}/template-probe.XXXXXX") || return 1
  wine_route_write_probe "$probe"
  "$probe" 2>/dev/null
  status=$?
  rm -f "$probe"
  [ $status -eq 42 ]
}

wine_route_emulation_works() {
  local probe status
  [ -x "$TEMPLATE_QEMU_I386" ] || return 1
  probe=$(mktemp "${TMPDIR:-/tmp}/template-probe.XXXXXX") || return 1
  wine_route_write_probe "$probe"
  wine_route_in_emulation "$TEMPLATE_QEMU_I386" "$probe" 2>/dev/null
  status=$?
  rm -f "$probe"
  [ $status -eq 42 ]
}

# Fetches the static qemu-i386 into the cache from Debian's qemu-user package of
# this release's backports suite (bookworm's own build adds about a minute to
# every process start), through a private apt list: the host's sources stay
# as they are. Falls back to the release's own suite.
wine_route_fetch_qemu() {
  [ -x "$TEMPLATE_QEMU_I386" ] && return 0
  local work codename uri suite deb
  codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || { echo "wine-route: cannot tell the Debian release" >&2; return 1; }
  uri=$(grep -hsE '^URIs:' /etc/apt/sources.list.d/*.sources | grep -m1 -E '/debian/?$' | awk '{print $2}')
  [ -n "$uri" ] || uri=$(grep -hsE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list |
    awk '{for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) {print $i; exit}}' | grep -m1 -E '/debian/?$')
  [ -n "$uri" ] || uri=http://deb.debian.org/debian
  work=$(mktemp -d "${TMPDIR:-/tmp}/template-qemu.XXXXXX") || return 1
  mkdir -p "$work/lists/partial" "$work/archives/partial"
  local apt_options=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o "Dir::State::Lists=$work/lists" -o "Dir::Cache::Archives=$work/archives" -o Dir::Cache::pkgcache=
    -o Dir::Cache::srcpkgcache= -o APT::Architectures::=amd64 -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
  for suite in "$codename-backports" "$codename"; do
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main" >"$work/sources.list"
    rm -rf "$work/lists" && mkdir -p "$work/lists/partial"
    apt-get "${apt_options[@]}" -qq update >/dev/null 2>&1 || continue
    (cd "$work" && apt-get "${apt_options[@]}" -qq download "qemu-user/$suite" >/dev/null 2>&1) || continue
    deb=$(ls "$work"/qemu-user_*.deb 2>/dev/null | head -n 1)
    [ -n "$deb" ] || continue
    mkdir -p "$work/x" "$(dirname "$TEMPLATE_QEMU_I386")"
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work/x" ./usr/bin/qemu-i386 2>/dev/null || continue
    # Only a static build works from inside the namespace for any program.
    if file -L "$work/x/usr/bin/qemu-i386" | grep -qE 'static(-pie)? linked'; then
      mv "$work/x/usr/bin/qemu-i386" "$TEMPLATE_QEMU_I386"
      break
    fi
  done
  rm -rf "$work"
  [ -x "$TEMPLATE_QEMU_I386" ] || { echo "wine-route: no static qemu-i386 could be fetched" >&2; return 1; }
}

wine_route_describe() {
  case "$TEMPLATE_X86_ROUTE" in
    native) echo "x86 natively" ;;
    emulated) echo "x86 through user-mode emulation ($TEMPLATE_QEMU_I386)" ;;
    *) echo "x86 cannot run: $TEMPLATE_X86_REASON" ;;
  esac
}

# Decides the route once; later calls, and child processes, reuse the decision.
wine_route_init() {
  [ "${TEMPLATE_WINE_ROUTE_READY:-}" = 1 ] && return 0
  export TEMPLATE_WINE_LOADER64="$TEMPLATE_WINE_DIR/wine64"
  export TEMPLATE_WINESERVER="$TEMPLATE_WINE_DIR/wineserver64"
  if [ ! -x "$TEMPLATE_WINE_LOADER64" ]; then
    echo "wine-route: Wine's 64-bit loader $TEMPLATE_WINE_LOADER64 is missing (scripts/install-deps installs it)" >&2
    return 1
  fi
  [ -x "$TEMPLATE_WINESERVER" ] || TEMPLATE_WINESERVER=$(command -v wineserver || echo wineserver)
  # Wine starts a program of the other bitness through the loader beside this one.
  export WINELOADER="$TEMPLATE_WINE_LOADER64"
  local forced=${TEMPLATE_X86_ROUTE:-}
  TEMPLATE_X86_REASON=""
  if [ ! -x "$TEMPLATE_WINE_DIR/wine" ]; then
    TEMPLATE_X86_ROUTE=none
    TEMPLATE_X86_REASON="Wine's 32-bit loader ($TEMPLATE_WINE_DIR/wine, package wine32:i386) is not installed"
  else
    case "$forced" in
      native | emulated | none) TEMPLATE_X86_ROUTE=$forced ;;
      "")
        if wine_route_host_runs_x86; then TEMPLATE_X86_ROUTE=native; else TEMPLATE_X86_ROUTE=emulated; fi ;;
      *)
        echo "wine-route: TEMPLATE_X86_ROUTE='$forced' is none of native, emulated, none" >&2
        return 1 ;;
    esac
    [ "$TEMPLATE_X86_ROUTE" = none ] && TEMPLATE_X86_REASON="TEMPLATE_X86_ROUTE=none was set"
    if [ "$TEMPLATE_X86_ROUTE" = emulated ] && ! wine_route_emulation_works; then
      TEMPLATE_X86_ROUTE=none
      if [ -x "$TEMPLATE_QEMU_I386" ]; then
        TEMPLATE_X86_REASON="this host runs no 32-bit programs and user-mode emulation through $TEMPLATE_QEMU_I386 failed (unshare, binfmt_misc)"
      else
        TEMPLATE_X86_REASON="this host runs no 32-bit programs and $TEMPLATE_QEMU_I386 is missing (scripts/install-deps fetches it)"
      fi
    fi
  fi
  export TEMPLATE_X86_ROUTE TEMPLATE_X86_REASON TEMPLATE_QEMU_I386 TEMPLATE_WINE_ROUTE_READY=1
  echo "windows programs: x64 through $TEMPLATE_WINE_LOADER64, $(wine_route_describe)" >&2
}

wine_x86_runs() { [ "${TEMPLATE_X86_ROUTE:-none}" != none ]; }

# Runs a Windows program, or a Wine tool such as regsvr32 or wineboot, of
# either bitness. Under emulation x64 programs run in the namespace too: they
# may start x86 ones (a 32-bit cmd.exe, wineboot's 32-bit half).
wine_run() {
  wine_route_init || return 1
  if [ "$TEMPLATE_X86_ROUTE" = emulated ] && [ -z "${TEMPLATE_X86_NAMESPACE:-}" ]; then
    wine_route_in_emulation "$TEMPLATE_QEMU_I386" "$TEMPLATE_WINE_LOADER64" "$@"
  else
    "$TEMPLATE_WINE_LOADER64" "$@"
  fi
}

wineserver_run() {
  wine_route_init || return 1
  "$TEMPLATE_WINESERVER" "$@"
}
