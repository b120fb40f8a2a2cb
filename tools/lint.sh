#!/usr/bin/env bash
# Checks formatting, that logic never includes widgets, and that includes only
# run down the layers (see ARCHITECTURE.md).
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
# Logic folders (everything but ui/ subfolders, controls, window and cli) must not use QtWidgets.
hits=$(grep -rlE '#include <(QtWidgets|QWidget|QMessageBox|QApplication|QDialog|QFileDialog|QLabel|QPushButton)' src \
  --include='*.h' --include='*.cpp' | grep -vE '^src/(controls|window|cli)/|/ui/' || true)
if [ -n "$hits" ]; then echo "Widgets used in logic:"; echo "$hits"; status=1; fi

# What each folder may include besides itself. A ui/ folder may include what
# its logic folder may, plus its logic folder, app/ui and controls.
allowed() {
  case "$1" in
    app) echo "" ;;
    controls) echo "" ;;
    image) echo "app" ;;
    texture) echo "app image" ;;
    randomizer) echo "app image texture" ;;
    music) echo "app" ;;
    online) echo "app image texture" ;;
    cli) echo "app image texture randomizer music online" ;;
    window) echo "*" ;;
    */ui) local base=${1%/ui}; echo "$(allowed "$base") $base app/ui controls $([ "$base" = online ] && echo texture/ui)" ;;
    *) echo "?" ;;
  esac
}
while IFS= read -r file; do
  dir=${file#src/}; dir=${dir%/*}
  rules=$(allowed "$dir")
  [ "$rules" = "*" ] && continue
  while IFS= read -r target; do
    [ "$target" = "$dir" ] && continue
    case " $rules " in *" $target "*) ;; *) echo "Include against the layers: $file includes $target/"; status=1 ;; esac
  done < <(grep -oE '^#include "[a-z]+(/ui)?/' "$file" | sed -E 's/#include "//; s/\/$//' | sort -u)
done < <(find src -name '*.h' -o -name '*.cpp' | sort)

if command -v clang-format >/dev/null; then
  bad=$(find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format --dry-run 2>&1 | grep -c warning || true)
  [ "$bad" != 0 ] && { echo "clang-format: $bad lines differ (run clang-format -i)"; status=1; }
fi
exit $status
