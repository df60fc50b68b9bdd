// Everything of the host SDK that the stand-in provides, in one include.
#pragma once

#include "acolor.h"
#include "interval.h"
#include "iparamb2.h"
#include "iparamm2.h"
#include "matrix3.h"
#include "maxapi.h"
#include "maxheap.h"
#include "maxtypes.h"
#include "plugapi.h"
#include "point3.h"
#include "ref.h"
#include "strclass.h"
#include "win_shim.h"
