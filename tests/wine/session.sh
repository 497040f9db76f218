# tests/pack/quova_wine_test.sh sources this. What it checks of the Quova
# stand-in (its window, switches, log lines, Esc and the close box) is part
# of the end-to-end scenario install_enter_planted_program now; this runs
# that scenario in the script's place, and goes when the script goes.
exec python3 "$(dirname "${BASH_SOURCE[0]}")/../e2e/e2e.py" --group en --only install_enter_planted_program \
  --exe "$1/bin/Zoravuvi.exe" --driver "$1/bin/windriver.exe" --payload "$1/payload.lzh" --work "$1/e2e"
