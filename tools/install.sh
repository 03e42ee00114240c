#!/usr/bin/env bash
# Installs Vesk where Linux hosts look for plug-ins, and says where:
#   install.sh                   for you: ~/.vst, ~/.lv2 and ~/.vst3
#   install.sh --prefix /usr/local
#                                for everyone: PREFIX/lib/vst, PREFIX/lib/lv2 and
#                                PREFIX/lib/vst3 (run it as root, e.g. with sudo)
#   install.sh --uninstall [--prefix DIR]
#                                removes what the same command installed
#   --from DIR                   where the plug-ins are (this script's folder)
set -euo pipefail
from=$(cd "$(dirname "$0")" && pwd)
prefix="" uninstall=0
usage() { sed -n '2,9s/^# \{0,1\}//p' "$0"; }
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) [ $# -ge 2 ] || { usage >&2; exit 2; }; prefix=$2; shift 2 ;;
    --from) [ $# -ge 2 ] || { usage >&2; exit 2; }; from=$(cd "$2" && pwd); shift 2 ;;
    --uninstall) uninstall=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "install.sh: unknown option '$1'" >&2; usage >&2; exit 2 ;;
  esac
done
if [ -n "$prefix" ]; then
  vst="$prefix/lib/vst" lv2="$prefix/lib/lv2" vst3="$prefix/lib/vst3"
else
  vst="$HOME/.vst" lv2="$HOME/.lv2" vst3="$HOME/.vst3"
fi
# What goes where: the two VST 2.4 plug-ins (the effect and the instrument),
# the LV2 bundle and the VST3 bundle, as far as they were built.
items=("vesk.so:$vst" "vesk-instrument.so:$vst" "vesk.lv2:$lv2" "Vesk.vst3:$vst3")
done_any=0
for item in "${items[@]}"; do
  name=${item%%:*} dir=${item#*:}
  if [ "$uninstall" -eq 1 ]; then
    [ -e "$dir/$name" ] || continue
    rm -rf "${dir:?}/$name"
    echo "removed $dir/$name"
  else
    [ -e "$from/$name" ] || continue
    mkdir -p "$dir"
    rm -rf "${dir:?}/$name"
    cp -R "$from/$name" "$dir/"
    echo "installed $dir/$name"
  fi
  done_any=1
done
if [ "$done_any" -eq 0 ]; then
  [ "$uninstall" -eq 1 ] && echo "nothing of Vesk is installed there" || { echo "install.sh: no plug-in in $from" >&2; exit 1; }
elif [ "$uninstall" -eq 0 ]; then
  echo "Let your host rescan its plug-ins. To remove them again: $0 --uninstall${prefix:+ --prefix $prefix}"
fi
