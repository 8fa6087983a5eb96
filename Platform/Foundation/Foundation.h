#pragma once

// The foundation layer: objects, values, errors, formatting, logging, strings and URLs.
#include "Foundation/Data.h"
#include "Foundation/Date.h"
#include "Foundation/Error.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/Object.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/String.h"
#include "Foundation/StringEncoding.h"
#include "Foundation/StringNumbers.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"
