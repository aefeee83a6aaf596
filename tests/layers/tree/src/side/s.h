#pragma once
#include "base/b.h"
