#include "Engine.h"

CEngine s_Engine;
