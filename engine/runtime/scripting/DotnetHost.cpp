#include "scripting/DotnetHost.h"

// PLACEHOLDER: being written.
