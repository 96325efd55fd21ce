#include "platform/Window.h"

// PLACEHOLDER: being written.
