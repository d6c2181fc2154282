#!/usr/bin/env bash
# The program is built in floors, each including only the ones below it. The application:
#   shell/  over  window/ and panels/ (side by side)  over  shared/  over  model/  over the engine.
# The engine: targets/ over render/; render/ and printers/ (side by side) over settings/; every folder over
# support/. Inside render/: sheet/ over decode/ over color/ and resample/; layout/, color/ and resample/ use
# no other folder of render/.
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
check PrintKit/support 'PrintKit/(settings|render|printers|targets)/' "support/ serves the whole engine and uses none of it:"
check PrintKit/settings 'PrintKit/(render|printers|targets)/' "settings/ stands alone on support/:"
check PrintKit/printers 'PrintKit/(render|targets)/' "printers/ uses settings/ and renders nothing:"
check PrintKit/render 'PrintKit/(printers|targets)/' "render/ uses settings/ and knows neither printers/ nor targets/:"
check PrintKit/targets 'PrintKit/printers/' "targets/ uses settings/ and render/, not printers/:"
check PrintKit/render/decode 'PrintKit/render/(sheet|layout)/' "decode/ stands below sheet/ and uses only color/ and resample/:"
check PrintKit/render/layout 'PrintKit/render/(sheet|decode|color|resample)/' "render/layout/ uses no other folder of render/:"
check PrintKit/render/color 'PrintKit/render/(sheet|decode|layout|resample)/' "render/color/ uses no other folder of render/:"
check PrintKit/render/resample 'PrintKit/render/(sheet|decode|layout|color)/' "render/resample/ uses no other folder of render/:"

[ "$status" -eq 0 ] && echo "every include runs down the floors"
exit "$status"
