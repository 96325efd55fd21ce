#include "scripting/LineProtocol.h"

// PLACEHOLDER: being written.
