#!/usr/bin/env bash
# Builds the release from the committed source (HEAD, not the working tree) in a folder of its
# own and writes dist/HalcyraRemote-VERSION-win32.zip with its SHA-256 beside it. The zip holds the
# shipped 32-bit programs and, under x64/, the same programs built for 64-bit Windows (the build
# the tests run where 32-bit code cannot run). The build is byte-reproducible: the same commit
# gives the same files on any Debian 12 machine, in any folder, at any time.
# `bash tools/release.sh --verify` builds twice, in two different folders, and fails unless
# both give the same bytes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source tools/build.sh

# The executables shipped for users, in the zip's order. The first is the program itself;
# another is shipped when the commit builds it.
SHIPPED_PROGRAMS=(HalcyraRemote HalcyraSend)
# The builds in the zip: each build's folder in the zip ("" for the top), in the zip's order.
SHIPPED_BUILDS=(win32 win64)
declare -A ZIP_FOLDER=([win32]="" [win64]="x64/")
README_SOURCE=docs/README-windows.txt

verify=0
case "${1:-}" in
    "") ;;
    --verify) verify=1 ;;
    *) echo "usage: bash tools/release.sh [--verify]" >&2; exit 2 ;;
esac

bash tools/setup.sh --release

commit=$(git rev-parse HEAD)
# Every time in the zip is the commit's; the executables carry none.
export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export LC_ALL=C TZ=UTC
# Only the project's own flags: CMake would take these from the environment.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS RCFLAGS
umask 022
version=$(git show "$commit:resources/remote.rc" |
          sed -n 's/^[[:space:]]*FILEVERSION[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\).*/\1.\2.\3.\4/p')
[ -n "$version" ] || { echo "no FILEVERSION in resources/remote.rc" >&2; exit 1; }
zip_name=HalcyraRemote-$version-win32.zip
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "note: uncommitted changes are not in the release; it is built from commit $commit" >&2
fi

work_folders=()
remove_work_folders() { [ ${#work_folders[@]} -eq 0 ] || rm -rf "${work_folders[@]}"; }
trap remove_work_folders EXIT

# build_release FOLDER: exports the commit into FOLDER/src, builds the shipped programs of each
# build in FOLDER/build-KIND, checks them, and writes FOLDER/$zip_name.
build_release() {
    local work=$1 kind name line exe
    local files=() entries=()  # each shipped file, and its name in the zip
    mkdir -p "$work/src"
    git archive --format=tar "$commit" | tar -x -C "$work/src"
    for kind in "${SHIPPED_BUILDS[@]}"; do
        local build=$work/build-$kind log=$work/build-$kind.log
        if ! build_configure "$kind" "$work/src" "$build" >"$log" 2>&1; then
            cat "$log" >&2; return 1
        fi
        # Each shipped program with its path in the build, when the commit has it.
        local names=() built=()
        for name in "${SHIPPED_PROGRAMS[@]}"; do
            line=$(ninja -C "$build" -t targets all | grep -E "^([^:]*/)?$name\.exe: CXX_EXECUTABLE_LINKER__${name}_" || true)
            if [ -n "$line" ]; then
                names+=("$name"); built+=("$build/${line%%: *}")
                entries+=("${ZIP_FOLDER[$kind]}$name.exe")
            elif [ "$name" = "${SHIPPED_PROGRAMS[0]}" ]; then
                echo "the $kind build has no $name program" >&2; return 1
            fi
        done
        if ! nice cmake --build "$build" --target "${names[@]}" >>"$log" 2>&1; then
            cat "$log" >&2; return 1
        fi
        # The hardening, and no time or folder of this machine in any shipped file.
        local check=(python3 "$work/src/tests/resources_check.py")
        for exe in "${built[@]}"; do
            if ! "${check[@]}" "$exe" "$work/src" "$build" >"$work/check.log"; then
                echo "$exe:" >&2; cat "$work/check.log" >&2; return 1
            fi
            check=(python3 "$work/src/tests/resources_check.py" --header-only)
        done
        files+=("${built[@]}")
    done
    # Fixed entry order, the commit's time, fixed permissions, fixed compression.
    # The files come as pairs: the name in the zip, the file.
    local pairs=() i
    for i in "${!files[@]}"; do pairs+=("${entries[$i]}" "${files[$i]}"); done
    python3 - "$work/$zip_name" "$SOURCE_DATE_EPOCH" "$work/src/$README_SOURCE" "$version" "$commit" \
              "${pairs[@]}" <<'EOF'
import hashlib, os, sys, time, zipfile
out, epoch, readme, version, commit = sys.argv[1:6]
pairs = sys.argv[6:]
entries = [(pairs[i], open(pairs[i + 1], 'rb').read()) for i in range(0, len(pairs), 2)]
with open(readme, 'rb') as f:
    text = f.read().replace(b'@VERSION@', version.encode()).replace(b'@COMMIT@', commit.encode())
    entries.append(('README.txt', text.replace(b'\r\n', b'\n').replace(b'\n', b'\r\n')))
sums = ''.join('%s  %s\n' % (hashlib.sha256(data).hexdigest(), name) for name, data in entries)
entries.append(('SHA256SUMS', sums.encode()))
with open(os.path.join(os.path.dirname(out), 'SHA256SUMS'), 'w') as f:
    f.write(sums)
stamp = time.gmtime(max(int(epoch), 315532800))[:6]  # a zip holds no time before 1980
with zipfile.ZipFile(out, 'w') as archive:
    for name, data in entries:
        info = zipfile.ZipInfo(name, stamp)
        info.create_system = 3  # Unix, so that the permissions below are read
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, data, compresslevel=9)
EOF
}

sha256_of() { sha256sum "$1" | cut -d' ' -f1; }

echo "Building $zip_name from commit $commit"
echo "with $(i686-w64-mingw32-g++-posix --version | head -1), $(x86_64-w64-mingw32-g++-posix --version | head -1),"
echo "     $(i686-w64-mingw32-ld --version | head -1)"
first=$(mktemp -d /tmp/halcyra-release.XXXXXX)
work_folders+=("$first")
build_release "$first"

if [ $verify = 1 ]; then
    # A second build in a folder of another name and length, some seconds later.
    second=$(mktemp -d /tmp/halcyra-release-second-build.XXXXXX)
    work_folders+=("$second")
    build_release "$second"
    if ! cmp -s "$first/$zip_name" "$second/$zip_name"; then
        echo "NOT REPRODUCIBLE: the two builds differ" >&2
        diff "$first/SHA256SUMS" "$second/SHA256SUMS" >&2 || true
        exit 1
    fi
    echo "Reproducible: two builds in $first and $second give the same bytes"
fi

mkdir -p dist
cp "$first/$zip_name" "dist/$zip_name"
(cd dist && sha256sum "$zip_name" > "$zip_name.sha256")
echo "Wrote dist/$zip_name"
python3 -m zipfile -l "dist/$zip_name"
echo "SHA-256: $(sha256_of "dist/$zip_name")"
