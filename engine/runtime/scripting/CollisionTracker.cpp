#include "scripting/CollisionTracker.h"

// PLACEHOLDER: being written.
