#pragma once

// The foundation layer's core: objects, values, errors, formatting and logging.
#include "Foundation/Data.h"
#include "Foundation/Date.h"
#include "Foundation/Error.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/Object.h"
#include "Foundation/StringNumbers.h"
#include "Foundation/Value.h"
