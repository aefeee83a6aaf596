#include "mid/m.h"
#include "top/t.h"
