#include "project/ScriptHostLocator.h"

// PLACEHOLDER: being written.
