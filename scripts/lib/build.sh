# Sourced by scripts: configuring and building the trees, quietly.
#   configure <dir> [cmake options...]    the Linux tree
#   configure_windows <dir> <libraries>   the Windows cross tree over the libraries
#                                         scripts/windows-deps printed
#   compile <dir> [targets...]            builds (everything without targets), showing only
#                                         what is not progress
#   step <name> <command...>              runs it and says how long it took, after $step_label

build_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
step_label=${step_label:-build}

configure() {
  local dir=$1; shift
  cmake -S "$build_root" -B "$dir" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" \
    >/dev/null
}

configure_windows() {
  configure "$1" -DCMAKE_TOOLCHAIN_FILE="$build_root/cmake/mingw-w64-x86_64.cmake" \
    -DSC_WINDOWS_DEPS="$2"
}

compile() {
  local dir=$1; shift
  local targets=()
  [[ $# -gt 0 ]] && targets=(--target "$@")
  cmake --build "$dir" -j "$(nproc)" "${targets[@]}" -- --no-print-directory 2>&1 \
    | { grep -vE '^\[ *[0-9]+%\]|^(Consolidate|Scanning|Built target)' || true; }
}

step() {
  local name=$1 t=$SECONDS
  shift
  "$@"
  echo "$step_label: $name took $((SECONDS - t)) s"
}
