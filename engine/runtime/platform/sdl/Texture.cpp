#include "platform/Texture.h"

// PLACEHOLDER: being written.
