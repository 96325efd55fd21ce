#include "scripting/ScriptHostBridgeImpl.h"

// PLACEHOLDER: being written.
