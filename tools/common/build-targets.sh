# Sourced by the tools that build before they run (bash).

# configure_needed PRESET: whether build/PRESET wants configuring: it has no build files yet, or
# CMakePresets.json or a file its configuration read (the inputs build.ninja lists for itself) is
# missing or newer than them. Configuring on every run would let two runs at once rewrite the
# same generated files under each other.
configure_needed() {
  local dir=build/$1
  local manifest=$dir/build.ninja
  [ -e "$manifest" ] || return 0
  [ CMakePresets.json -nt "$manifest" ] && return 0
  local inputs
  inputs=$(sed -n 's/^build build\.ninja: RERUN_CMAKE [^|]*| *//p' "$manifest")
  [ -n "$inputs" ] || return 0
  # Ninja writes a blank in a path as "$ " and a colon as "$:".
  local paths path
  read -r -a paths <<<"${inputs//\$ /$'\001'}"
  for path in "${paths[@]}"; do
    path=${path//$'\001'/ }
    path=${path//\$:/:}
    case "$path" in /*) ;; *) path=$dir/$path ;; esac
    if [ ! -e "$path" ] || [ "$path" -nt "$manifest" ]; then return 0; fi
  done
  return 1
}

# lock_build NAME PRESET: waits until no other tool builds in build/PRESET, saying so, and holds
# the folder until unlock_build (or the shell's exit): two builds in one folder at once would
# write the same files.
lock_build() {
  mkdir -p "build/$2"
  exec {build_lock}>"build/$2/.build-lock"
  if ! flock -n "$build_lock"; then
    echo "$1: waiting for another build in build/$2 to finish" >&2
    flock "$build_lock"
  fi
}
unlock_build() {
  if [ -n "${build_lock-}" ]; then exec {build_lock}>&-; fi
  build_lock=
}

# The parallel jobs of a build: CMAKE_BUILD_PARALLEL_LEVEL when set, else one per core.
build_jobs() {
  echo "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
}

# build_targets NAME TARGET...: configures the default preset when it needs it and builds the
# targets in build/default, saying so first. The build's progress shows on one line (a line each
# tenth of the way when the output is no terminal); a failing configuration or build shows its
# errors, keeps its whole log and returns 1.
build_targets() {
  local name=$1
  shift
  local log
  log=$(mktemp "${TMPDIR:-/tmp}/$name-build.XXXXXX")
  lock_build "$name" default
  if configure_needed default; then
    echo "$name: configuring the build in build/default" >&2
    if ! cmake --preset default >"$log" 2>&1; then
      echo "$name: configuring the build failed:" >&2
      cat "$log" >&2
      return 1
    fi
  fi
  local first=0
  for target in "$@"; do
    case "$target" in
      vcc) [ -e build/default/App/vcc ] || first=1 ;;
      sample-service) [ -e build/default/tools/sample-service/sample-service ] || first=1 ;;
    esac
  done
  if [ $first -eq 1 ]; then
    echo "$name: building $* (the first build takes several minutes; later ones only what changed)" >&2
  fi
  local tty=0
  [ -t 2 ] && tty=1
  if ! cmake --build --preset default -j "$(build_jobs)" --target "$@" 2>&1 | tee "$log" |
    awk -v tty=$tty -v name="$name" '
      /Re-checking globbed directories/ { next }
      /^\[[0-9]+\/[0-9]+\]/ {
        split(substr($1, 2, length($1) - 2), p, "/")
        done = p[1] + 0; total = p[2] + 0
        percent = total ? int(100 * done / total) : 100
        if (tty) printf "\r%s: building, step %d of %d (%d%%)", name, done, total, percent > "/dev/stderr"
        else if (percent >= mark) { printf "%s: building, step %d of %d (%d%%)\n", name, done, total, percent > "/dev/stderr"; mark = percent + 10 }
      }
      END { if (tty && done) printf "\n" > "/dev/stderr" }'; then
    echo "$name: the build failed; its errors:" >&2
    grep -E -A4 "error:|error [A-Z]|FAILED:|undefined reference|CMake Error" "$log" | head -80 >&2 || tail -40 "$log" >&2
    echo "$name: the whole build log is $log" >&2
    return 1
  fi
  unlock_build
  rm -f "$log"
}
