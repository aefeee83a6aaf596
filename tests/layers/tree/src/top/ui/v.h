#pragma once
#include "top/t.h"
#include "side/s.h"
