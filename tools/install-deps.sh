#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Tessellon need.
# Idempotent: installs only what is missing, and refreshes the package lists only then.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config ninja-build
  # the engine's libraries
  libgl-dev libglu1-mesa-dev freeglut3-dev libglew-dev libx11-dev libpng-dev libjpeg62-turbo-dev
  # glTF and OBJ models (header libraries compiled into the engine)
  libtinygltf-dev nlohmann-json3-dev libtinyobjloader-dev
  # tests and benchmarks; stb_image is the independent decoder the picture tests compare with
  libgtest-dev libstb-dev zlib1g-dev
  # the fuzz harnesses (libFuzzer comes with clang's runtime libraries)
  clang libclang-rt-14-dev
  # software OpenGL on a virtual display, and driving the demo from outside
  libgl1-mesa-dri xvfb xauth x11-utils xdotool imagemagick
  # the Debian package: CPack finds the programs with file, their libraries' packages with
  # dpkg-shlibdeps
  file dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
