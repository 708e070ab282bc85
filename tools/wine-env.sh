# Sourced: the environment every Wine call of this project runs in.
# HBL_WINEPREFIX names another prefix (the end-to-end tests make one per case).
_hbl_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${HBL_WINEPREFIX:-$_hbl_root/build/wine-prefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko install prompts; the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The locale picks the prefix's ANSI code page: zh_CN gives 936 (GBK).
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
unset _hbl_root
