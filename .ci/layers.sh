#!/usr/bin/env bash
# The source layers depend one way: containers <- text <- platform <- preprocess
# <- exec <- rules <- driver. Fails, naming the lines, when a file includes a
# layer above its own.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(containers text platform preprocess exec rules driver)
status=0
for ((i = 0; i < ${#layers[@]} - 1; i++)); do
    above=$(IFS='|'; echo "${layers[*]:i+1}")
    if grep -rnE "#include \"($above)/" "src/${layers[i]}"; then
        echo "layers: src/${layers[i]}/ includes a layer above its own" >&2
        status=1
    fi
done
exit $status
