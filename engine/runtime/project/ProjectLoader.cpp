#include "project/ProjectLoader.h"

// PLACEHOLDER: being written.
