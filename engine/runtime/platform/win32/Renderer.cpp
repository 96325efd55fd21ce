#include "platform/Renderer.h"

// PLACEHOLDER: being written.
