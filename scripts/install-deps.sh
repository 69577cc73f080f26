#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need. Quick when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config lld
  libsdl2-dev libepoxy-dev libmojoshader-dev
  libopenal-dev libvorbis-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libtinygltf-dev nlohmann-json3-dev libstb-dev
  libenet-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-dejavu-extra
  libgl1-mesa-dri libegl-mesa0 libegl1 libgl-dev libegl-dev
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
