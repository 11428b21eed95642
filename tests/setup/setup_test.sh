#!/usr/bin/env bash
# The set-up's decisions without the network: tools/setup.sh runs with stand-ins for apt-get,
# dpkg-query and dpkg first on a PATH that holds nothing else but the few tools it uses, so that
# what is "missing" is what each case says. Each case checks the exit code, the lines printed
# and the apt-get calls made, in order.
# Usage: tests/setup/setup_test.sh path/to/tools/setup.sh
set -u
SETUP=$(realpath "$1")
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
pass=0 fail=0

bin=$T/bin
mkdir -p "$bin"
for tool in bash dirname grep sed cut mktemp rm chmod seq cat; do ln -s "$(command -v "$tool")" "$bin/$tool"; done
# The stand-ins: apt-get and dpkg log their calls; behaviour from the case's FAKE_* variables.
cat >"$bin/apt-get" <<'STUB'
#!/bin/bash
echo "apt-get $*" >>"$FAKE_LOG"
if [ "$1" = update ] || [ "$2" = update ]; then
    [ "$FAKE_UPDATE" = ok ] && exit 0
    echo "E: Failed to fetch archive/dists/x-security/main/binary-i386/Packages.xz  File has unexpected size" >&2
    exit 100
fi
for word in "$@"; do
    for broken in $FAKE_BROKEN; do
        [ "$word" = "$broken" ] || continue
        echo " $broken : Depends: libbroken (>= 1) but it is not going to be installed" >&2
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100
    done
done
exit 0
STUB
cat >"$bin/dpkg-query" <<'STUB'
#!/bin/bash
pkg=${!#}
[ "$FAKE_INSTALLED" = all ] || [[ " $FAKE_INSTALLED " == *" $pkg "* ]] && printf 'install ok installed'
exit 0
STUB
cat >"$bin/dpkg" <<'STUB'
#!/bin/bash
echo "dpkg $*" >>"$FAKE_LOG"
[ "$1" = --print-foreign-architectures ] && printf '%s' "$FAKE_ARCHS"
exit 0
STUB
printf '#!/bin/bash\nexit 0\n' >"$bin/sleep"
chmod 755 "$bin"/*
# Every command the set-up looks for, for the cases where nothing is missing.
all_cmds=$T/all-cmds
mkdir -p "$all_cmds"
for cmd in i686-w64-mingw32-g++-posix i686-w64-mingw32-windres x86_64-w64-mingw32-g++-posix \
    x86_64-w64-mingw32-windres cmake ninja python3 git clang wine ip unshare Xvfb xdotool xwd; do
    printf '#!/bin/bash\nexit 0\n' >"$all_cmds/$cmd"
    chmod 755 "$all_cmds/$cmd"
done
# All but cmake.
some_cmds=$T/some-cmds
cp -r "$all_cmds" "$some_cmds"
rm "$some_cmds/cmake"

# NAME | KERNEL32 | COMMANDS (all, some) | INSTALLED | UPDATE | BROKEN | EXIT | OUTPUT HOLDS | APT CALLS (in order; * any)
cases=(
"nothing missing: no apt call at all|1|all|all|ok||0||"
"index update fails, installs work: goes on, says so once|0|some|all|fail||0|setup: some package index files failed to download|update;update;update;install cmake"
"a needed package cannot be installed: fails and names it|0|some|all|ok|cmake|1|setup: cannot install cmake|update;install cmake;install cmake"
"wine32:i386 cannot be installed: the emulated path is named|1|all|googletest libclang-rt-14-dev wine64 fonts-liberation fonts-wine imagemagick|fail|wine32:i386|0|setup: wine32:i386 cannot be installed (wine32:i386 : Depends: libbroken|update;update;update;install wine32:i386"
"no 32-bit code in this kernel: 32-bit Wine not tried|0|all|googletest libclang-rt-14-dev wine64 fonts-liberation fonts-wine imagemagick|ok||0||"
)
for row in "${cases[@]}"; do
    IFS='|' read -r name kernel32 cmds installed update broken want_exit want_out want_calls <<<"$row"
    log=$T/calls
    : >"$log"
    out=$(env -i PATH="$bin:$T/$cmds-cmds" HALCYRA_KERNEL32="$kernel32" FAKE_LOG="$log" FAKE_INSTALLED="$installed" \
        FAKE_UPDATE="$update" FAKE_BROKEN="$broken" FAKE_ARCHS=i386 bash "$SETUP" 2>&1)
    status=$?
    calls=$(sed -n 's/^apt-get //p' "$log" | sed -E 's/^-?q? ?(update|install).*-y -q --no-install-recommends /\1 /; s/^update .*/update/' | paste -sd';' -)
    problem=
    [ "$status" = "$want_exit" ] || problem+=" exit $status (wanted $want_exit);"
    [ -z "$want_out" ] || [[ $out == *"$want_out"* ]] || problem+=" output lacks '$want_out';"
    [ "$calls" = "$want_calls" ] || problem+=" apt-get calls [$calls] (wanted [$want_calls]);"
    if [ -z "$problem" ]; then
        pass=$((pass + 1))
    else
        fail=$((fail + 1))
        echo "FAIL: $name:$problem"
        echo "$out" | sed 's/^/    /' | tail -5
    fi
done
echo "$pass passed, $fail failed"
[ "$fail" = 0 ]
