# trees.sh - sourced by the scripts (after setting $top): the three build
# trees and how each is configured.
#   build/host   native: platform-free logic, quarnel-kit and their tests
#   build/win64  x86_64 Windows, runs under Wine, with the tests
#   build/win32  i686 Windows, the release target
# The native tree comes first: the Windows trees pack, seal and check their
# products with its quarnel-kit, and read the products' scripts with it
# while they configure, so it is built before they are configured and
# passed to them as QUARNEL_KIT.  Its own tests read the Windows trees'
# sample products, whose trees are named to it here.
# Set QUARNEL_WERROR=ON to treat warnings as errors.
host=$top/build/host win64=$top/build/win64 win32=$top/build/win32
windows_trees=(-DQUARNEL_WIN32_TREE="$win32" -DQUARNEL_WIN64_TREE="$win64")

configure_tree() { # dir [cmake arguments]: configured once, the arguments applied again later
  local dir=$1; shift
  local args=(-DQUARNEL_WERROR="${QUARNEL_WERROR:-OFF}" "$@")
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${args[@]}" >/dev/null
  else
    cmake "$dir" "${args[@]}" >/dev/null
  fi
}

configure_trees() {
  configure_tree "$host" "${windows_trees[@]}"
  echo "== building quarnel-kit in $host"
  ninja -C "$host" -j2 quarnel-kit
  configure_tree "$win64" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" -DQUARNEL_KIT="$host/quarnel-kit"
  configure_tree "$win32" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DQUARNEL_KIT="$host/quarnel-kit"
}
