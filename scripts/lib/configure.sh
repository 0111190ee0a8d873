# The one place that configures the build trees. Source it, and from the project's root
# (where every script works) call
#     configure_tree KIND DIR [CMAKE ARGUMENTS...]
# KIND is native (g++, Debug, with the sanitizers), native-clang (the same with clang),
# win32 or win64 (the mingw-w64 cross build, Release). Arguments given after DIR come
# last, so they override the kind's own (-DCMAKE_BUILD_TYPE=Debug for a Windows tree).

configure_tree() {
  local kind="$1" dir="$2"
  shift 2
  case "$kind" in
    native)
      cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" ;;
    native-clang)
      CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" ;;
    win32)
      cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
        -DCMAKE_BUILD_TYPE=Release "$@" ;;
    win64)
      cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
        -DCMAKE_BUILD_TYPE=Release "$@" ;;
    *) echo "configure.sh: no kind of tree named '$kind'" >&2; return 1 ;;
  esac >/dev/null
}
