// tinygltf's implementation, compiled once for the whole program with the
// settings of TinyGltf.h.
#define TINYGLTF_IMPLEMENTATION
#include "platform/scene/gltf/TinyGltf.h"
