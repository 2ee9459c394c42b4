#!/bin/sh
# Installs a build into a scratch prefix and checks the installed tree: the program, its manual
# page, the menu entry, the KOB file type and the icons. Where the desktop's own tools are
# there (groff, desktop-file-validate, xmllint, update-mime-database) the files must also pass
# them; without them the files are checked for what the program relies on.
#   check-install.sh CMAKE BUILD_DIR VERSION
set -u
cmake=$1
build=$2
version=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/dudez-install.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

have() {
    command -v "$1" >/dev/null 2>&1
}

# Runs a checker that must succeed and say nothing: its warnings count as failures.
quiet() {
    what=$1
    shift
    if ! "$@" >"$work/said" 2>&1 || [ -s "$work/said" ]; then
        fail "$what:"
        cat "$work/said" >&2
    fi
}

if ! "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    fail "cmake --install into $prefix"
    exit 1
fi

# The program.
[ -f "$prefix/bin/dudez" ] && [ -x "$prefix/bin/dudez" ] || fail "bin/dudez missing or not executable"

# The manual page: every section a reader looks for, this release's version, and clean
# formatting (groff reports bad requests and lines it cannot fill as warnings).
man=$prefix/share/man/man1/dudez.1
if [ -f "$man" ]; then
    for section in NAME SYNOPSIS DESCRIPTION DISPLAY KEYS EXIT_STATUS FILES; do
        title=$(echo "$section" | tr _ ' ')
        grep -qxE "\\.SH \"?$title\"?" "$man" || fail "dudez.1 has no section $title"
    done
    head -n 1 "$man" | grep -q "^\\.TH DUDEZ 1 .*\"dudez $version\"" ||
        fail "dudez.1 does not name version $version in its title line"
    if have groff; then
        quiet "groff -man -ww -z dudez.1" groff -man -ww -z "$man"
    fi
    # whatis and apropos read the NAME line; it must be "dudez \- what it does".
    if have lexgrog; then
        lexgrog "$man" 2>/dev/null | grep -q '"dudez - .' || fail "lexgrog cannot read the NAME line of dudez.1"
    fi
else
    fail "share/man/man1/dudez.1 missing"
fi

# The menu entry. The keys below are what file managers and menus need to start the program on
# KOB files, so they are checked whether or not the validator is there.
desktop=$prefix/share/applications/dudez.desktop
if [ -f "$desktop" ]; then
    if have desktop-file-validate; then
        quiet "desktop-file-validate dudez.desktop" desktop-file-validate "$desktop"
    fi
    awk '/^\[/ { inEntry = ($0 == "[Desktop Entry]") } inEntry && /=/' "$desktop" >"$work/entry"
    for line in 'Type=Application' 'Exec=dudez --window %F' 'MimeType=application/x-kob;' 'Icon=dudez' \
        'Terminal=false' 'Categories=AudioVideo;Audio;'; do
        grep -qxF "$line" "$work/entry" || fail "dudez.desktop lacks the line $line"
    done
    grep -qx 'Name=..*' "$work/entry" || fail "dudez.desktop has no Name"
else
    fail "share/applications/dudez.desktop missing"
fi

# The file type: its description, and, where the MIME database tool is there, that it compiles
# into a database that maps *.kob to application/x-kob.
mime=$prefix/share/mime/packages/dudez-kob.xml
if [ -f "$mime" ]; then
    grep -q '<mime-type type="application/x-kob">' "$mime" || fail "dudez-kob.xml has no type application/x-kob"
    grep -q '<glob pattern="\*\.kob"/>' "$mime" || fail "dudez-kob.xml has no glob *.kob"
    grep -q '<comment>[^<][^<]*</comment>' "$mime" || fail "dudez-kob.xml has no comment"
    if have xmllint; then
        quiet "xmllint dudez-kob.xml" xmllint --noout "$mime"
    fi
    if have update-mime-database; then
        mkdir -p "$work/mime/packages" && cp "$mime" "$work/mime/packages/"
        # With the scratch folder on the data path the tool has no reason to warn about it.
        quiet "update-mime-database" env XDG_DATA_HOME="$work" XDG_DATA_DIRS="$work" \
            update-mime-database "$work/mime"
        grep -q ':application/x-kob:\*\.kob$' "$work/mime/globs2" 2>/dev/null ||
            fail "the compiled MIME database does not map *.kob to application/x-kob"
        [ -f "$work/mime/application/x-kob.xml" ] || fail "the compiled MIME database has no application/x-kob"
    fi
else
    fail "share/mime/packages/dudez-kob.xml missing"
fi

# The icons: each size folder holds a PNG of that size (read from the PNG's IHDR chunk).
for size in 32 48 64 128; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/dudez.png
    if [ ! -f "$icon" ]; then
        fail "icon ${size}x${size} missing"
        continue
    fi
    signature=$(od -An -tx1 -N8 "$icon" | tr -d ' \n')
    if [ "$signature" != "89504e470d0a1a0a" ]; then
        fail "icon ${size}x${size} is not a PNG file"
        continue
    fi
    # shellcheck disable=SC2046
    set -- $(od -An -tu1 -j16 -N8 "$icon")
    width=$(( ($1 << 24) | ($2 << 16) | ($3 << 8) | $4 ))
    height=$(( ($5 << 24) | ($6 << 16) | ($7 << 8) | $8 ))
    [ "$width" -eq "$size" ] && [ "$height" -eq "$size" ] ||
        fail "icon ${size}x${size} is ${width}x${height}"
done

[ "$failures" -eq 0 ] || exit 1
echo "installed tree in order"
