// The one way our code includes tinygltf: always with the same settings (no
// image codecs of its own, no images from outside the file) and with its
// warnings kept out of our -Werror build.
#pragma once

// Every picture goes through our own graphics back end, so tinygltf needs no
// codecs; pictures that live outside the file are never read.
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE

#include <nlohmann/json.hpp>

// From here on this header counts as a system header, so the compiler keeps
// quiet about tinygltf's code (also where TinyGltf.cpp instantiates it).
#pragma GCC system_header
#include <tiny_gltf.h>
