#!/usr/bin/env bash
# The application is built in floors, each including only the ones below it:
#   shell/  over  window/ and panels/ (side by side)  over  shared/  over  model/  over the engine.
# Fails, naming the file and line, when an include runs up or across.
set -u
top=${1:?usage: floors.sh SOURCE_DIR}
cd "$top" || exit 2

status=0
check() { # folder, pattern of includes it may not have, what that means
    local hits
    hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($2)" "$1" 2>/dev/null)
    if [ -n "$hits" ]; then
        printf '%s\n%s\n\n' "$3" "$hits"
        status=1
    fi
}

check QuilmPrint/model 'QuilmPrint/(shell|window|panels|shared)/|QtWidgets|QWidget|QApplication[>"]' \
    "model/ knows no view:"
check QuilmPrint/shared 'QuilmPrint/(shell|window|panels)/' "shared/ serves every view and uses none of them:"
check QuilmPrint/window 'QuilmPrint/(shell|panels)/' "window/ stands beside panels/ and below shell/:"
check QuilmPrint/panels 'QuilmPrint/(shell|window)/' "panels/ stands beside window/ and below shell/:"
check PrintKit 'QuilmPrint/|Q[A-Z][A-Za-z]*[>"]|Qt[A-Z][A-Za-z]*/' "the engine knows neither the application nor Qt:"

[ "$status" -eq 0 ] && echo "every include runs down the floors"
exit "$status"
