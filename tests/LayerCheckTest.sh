#!/usr/bin/env bash
# scripts/check-layers against small trees, each with one include: "pass" or "fail" as the check must say.
set -uo pipefail
check=$1
cases=(
    "pass dvd/LpcmLayout.h engine/SampleGroup.h"
    "pass run/StreamRun.cpp output/WaveSink.h"
    "pass app/Form.cpp run/RunEntry.h"
    "fail output/Sink.cpp dvd/LpcmFormat.h"
    "fail dvd/Layout.cpp output/AudioFormat.h"
    "fail disc/Title.cpp output/WaveSink.h"
    "fail engine/Dither.cpp run/RunHost.h"
    "fail mmio/File.cpp wave/WaveRecord.h"
    "fail app/Form.cpp run/StreamRun.h"
    "fail cli/main.cpp run/ConversionRun.h"
    "fail app/Form.cpp output/FlacSink.h"
    "pass cli/main.cpp output/OutputFormat.h"
    "fail run/Entry.cpp <QString>"
)
failures=0
for c in "${cases[@]}"; do
    read -r expected file included <<<"$c"
    tree=$(mktemp -d)
    mkdir -p "$tree/$(dirname "$file")"
    if [[ $included == \<* ]]; then
        echo "#include $included" >"$tree/$file"
    else
        echo "#include \"$included\"" >"$tree/$file"
    fi
    if "$check" "$tree" 2>/dev/null; then said=pass; else said=fail; fi
    rm -rf "$tree"
    if [ "$said" != "$expected" ]; then
        echo "$file including $included: the check says $said, expected $expected" >&2
        failures=$((failures + 1))
    fi
done
exit $((failures > 0))
