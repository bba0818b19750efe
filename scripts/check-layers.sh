#!/bin/bash
# Fails when a layer folder includes a folder it must not. Includes are rooted
# at the source tree ("link/Kiss.h"); an include is judged by the layer it
# names. Lists every offending line, then exits 1.
set -euo pipefail
cd "$(dirname "$0")/.."

# The layers in build order; a layer includes itself and what it may list here
# (a layer, or one header of a layer).
layers=(foundation common engine/base encoding recovery link engine/core translators engine/service client)
declare -A may_include=(
    [foundation]=""
    [common]=""
    # Its locks and warnings keep host code outside every library lock.
    [engine/base]="common foundation/HeldLocks.h foundation/LibraryMutex.h"
    [encoding]="common engine/base"
    [recovery]="foundation common engine/base"
    [link]="foundation"
    [engine/core]="foundation common engine/base encoding"
    [translators]="foundation common engine/base encoding recovery engine/core"
    [engine/service]="foundation common engine/base encoding recovery link engine/core translators"
    # The client sees the library as a host does: through the C interface, with
    # the value types of common/ and the recovery files (plain C++) it hands out.
    [client]="common engine/service/oxazuva.h recovery/ZUVARecoveryFile.h recovery/ZUVARecoveryFileEraseMode.h"
)

# The layer an include path names, or the folder it names when no layer does.
named_layer() {
    local path=$1
    case $path in
        engine/*/*) local rest=${path#engine/}; echo "engine/${rest%%/*}" ;;
        *) echo "${path%%/*}" ;;
    esac
}

allowed() {
    local layer=$1 path=$2 target entry
    target=$(named_layer "$path")
    [[ $target == "$layer" ]] && return 0
    for entry in ${may_include[$layer]}; do
        [[ $entry == "$target" || $entry == "$path" ]] && return 0
    done
    return 1
}

failures=0
for layer in "${layers[@]}"; do
    [[ -d $layer ]] || { echo "check-layers: missing layer folder $layer" >&2; exit 1; }
    while IFS=: read -r file line text; do
        path=""
        [[ $text =~ \"([^\"]*)\" ]] && path=${BASH_REMATCH[1]}
        [[ $path == */* ]] || continue
        if ! allowed "$layer" "$path"; then
            echo "$file:$line: $layer must not include \"$path\""
            failures=$((failures + 1))
        fi
    done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$layer" || true)
done

if ((failures)); then
    echo "check-layers: $failures include(s) across layers that must not be" >&2
    exit 1
fi
echo "check-layers: ok"
