#include "analysis/compressor.h"

Compressor compressor;
