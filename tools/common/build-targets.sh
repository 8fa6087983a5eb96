# Sourced by the tools that build before they run (bash).
# build_targets NAME TARGET...: configures the default preset and builds the targets in
# build/default, saying so first. The build's progress shows on one line (a line each tenth of the
# way when the output is no terminal); a failing configuration or build shows its errors, keeps
# its whole log and returns 1.
build_targets() {
  local name=$1
  shift
  local log
  log=$(mktemp "${TMPDIR:-/tmp}/$name-build.XXXXXX")
  if [ ! -e build/default/build.ninja ]; then
    echo "$name: configuring the build in build/default" >&2
  fi
  if ! cmake --preset default >"$log" 2>&1; then
    echo "$name: configuring the build failed:" >&2
    cat "$log" >&2
    return 1
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
  if ! cmake --build --preset default -j "$(nproc)" --target "$@" 2>&1 | tee "$log" |
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
  rm -f "$log"
}
