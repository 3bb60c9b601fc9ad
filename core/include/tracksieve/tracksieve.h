#pragma once

#include "tracksieve/analysis.h"
#include "tracksieve/poly_wav_info.h"
