#!/usr/bin/env bash
# Checks formatting and that logic never includes widgets.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
# Logic folders (everything but ui/ subfolders, controls, window and cli) must not use QtWidgets.
hits=$(grep -rlE '#include <(QtWidgets|QWidget|QMessageBox|QApplication|QDialog|QFileDialog|QLabel|QPushButton)' src \
  --include='*.h' --include='*.cpp' | grep -vE '^src/(controls|window|cli)/|/ui/' || true)
if [ -n "$hits" ]; then echo "Widgets used in logic:"; echo "$hits"; status=1; fi
if command -v clang-format >/dev/null; then
  bad=$(find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format --dry-run 2>&1 | grep -c warning || true)
  [ "$bad" != 0 ] && { echo "clang-format: $bad lines differ (run clang-format -i)"; status=1; }
fi
exit $status
