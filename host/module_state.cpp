#include "host/module_state.h"

ModuleState module_state;
