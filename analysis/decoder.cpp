#include "analysis/decoder.h"

Decoder decoder;
