#!/bin/sh
# Makes FOLDER/settings.cfg a relative link to FOLDER/real/settings.cfg ("k = old"),
# for the Windows test that saves through it; "check FOLDER" then asserts that the
# link is still a link and that nothing else was left in the folder.
set -eu
case "$1" in
make)
    rm -rf "$2"
    mkdir -p "$2/real"
    printf 'k = old\n' >"$2/real/settings.cfg"
    ln -s real/settings.cfg "$2/settings.cfg"
    ;;
check)
    test -L "$2/settings.cfg"
    test "$(readlink "$2/settings.cfg")" = real/settings.cfg
    test "$(ls -A "$2")" = "$(printf 'real\nsettings.cfg')"
    test "$(ls -A "$2/real")" = settings.cfg
    grep -qx 'k = new' "$2/real/settings.cfg"
    ;;
esac
