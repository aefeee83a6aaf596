#pragma once
#include "mid/m.h"
#include <QString>
