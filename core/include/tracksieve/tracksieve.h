#pragma once

#include "tracksieve/analysis.h"
#include "tracksieve/fixed_values.h"
#include "tracksieve/meta_chunk.h"
#include "tracksieve/mono_split.h"
#include "tracksieve/path_text.h"
#include "tracksieve/poly_wav_info.h"
#include "tracksieve/scan.h"
#include "tracksieve/slim_writer.h"
#include "tracksieve/sound_report.h"
#include "tracksieve/track_choice.h"
#include "tracksieve/track_list_rewrite.h"
#include "tracksieve/version.h"
